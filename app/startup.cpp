#include "app/startup.h"

#include "app/module1.h"
#include "app/splash.h"
#include "link/identity_block.h"
#include "link/serial_port.h"
#include "login/frm_login.h"
#include "platform/program_end.h"
#include "platform/waits.h"
#include "workbench/frm_calibrate_sensor.h"

#include <QCoreApplication>
#include <QDir>

#include <memory>

namespace Module1 {

namespace {
constexpr int kSplashMs = 2000;
}

int Main() {
    vReleaseDate = QStringLiteral("10/31/2000");
    vProgramVersion = QStringLiteral("1.0");
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    {
        frmSplash splash;
        splash.show();
        splash.repaint();
        platform::waits().yield();
        platform::waits().sleep(kSplashMs);
        splash.close();
    }

    auto login = std::make_unique<frmLogin>();
    login->exec();
    if (!login->OK) {
        // Cancelled or closed without success: no port is open, nothing more is shown.
        platform::endProgramNow(0);
        return 0;
    }
    login.reset();

    ReadIdentityBlock(vDisplayMicroDate, vDisplayMicroInfo, sTerminalMicroDate);

    {
        frmCalibrateSensor workbench;
        workbench.exec();
    }

    ShutDown();
    return 0;
}

} // namespace Module1
