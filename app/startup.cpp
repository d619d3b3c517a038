#include "app/startup.h"

#include "link/serial_port.h"
#include "login/frm_login.h"
#include "platform/system/program_end.h"
#include "platform/system/waits.h"
#include "platform/widgets/still_buttons.h"
#include "shell/module1.h"
#include "shell/splash.h"
#include "workbench/controller_identity.h"
#include "workbench/frm_calibrate_sensor.h"

#include <QCoreApplication>
#include <QDir>

#include <memory>

namespace app {

namespace {
constexpr int kSplashMs = 2000;
}

int Main() {
    using namespace Module1;
    vReleaseDate = QStringLiteral("10/31/2000");
    vProgramVersion = QStringLiteral("1.0");
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    // A form that waits for the operator does not repaint by itself.
    platform::keepDefaultButtonsStill();

    {
        shell::frmSplash splash;
        splash.show();
        splash.repaint();
        platform::waits().yield();
        platform::waits().sleep(kSplashMs);
        splash.close();
    }

    auto login = std::make_unique<login::frmLogin>();
    login->exec();
    if (!login->portOpened()) {
        // Cancelled or closed without success: no port is open, nothing more is shown.
        platform::endProgramNow(0);
        return 0;
    }
    login.reset();

    workbench::ControllerIdentity::instance().ReadIdentityBlock(
        vDisplayMicroDate, vDisplayMicroInfo, sTerminalMicroDate);

    {
        workbench::frmCalibrateSensor form;
        form.exec();
    }

    devicelink::ShutDown();
    return 0;
}

} // namespace app
