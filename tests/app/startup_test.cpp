// The whole start-up against the simulated controller: splash, login, identity block,
// workbench, shutdown.
#include "app/startup.h"
#include "form_controls.h"
#include "login/frm_login.h"
#include "platform/pdq.h"
#include "platform/pdq_comm.h"
#include "platform/program_end.h"
#include "shell/module1.h"
#include "shell/splash.h"
#include "sim_process.h"
#include "workbench/controller_identity.h"
#include "workbench/frm_calibrate_sensor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using shell::frmSplash;

using login::frmLogin;

using workbench::frmCalibrateSensor;

namespace {

template <typename Form> Form* visibleForm() {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<Form*>(top); form && form->isVisible())
            return form;
    return nullptr;
}

// Watches the screens every few milliseconds while start-up runs its modal windows.
class Driver {
  public:
    explicit Driver(std::function<void()> step) : m_step(std::move(step)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_step(); });
        m_timer.start(5);
    }

  private:
    QTimer m_timer;
    std::function<void()> m_step;
};

class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Module1::ResetSharedState();
        workbench::ControllerIdentity::instance().reset();
        platform::setProgramEndHook([this](int) { ++programEnds; });
    }
    void TearDown() override {
        platform::setProgramEndHook({});
        platform::PDQ().replaceComm1(nullptr);
    }
    int programEnds = 0;
};

TEST_F(StartupTest, SplashLoginIdentityWorkbenchAndShutdown) {
    testsupport::SimProcess sim;
    ASSERT_TRUE(sim.start());
    platform::PDQ().replaceComm1(std::make_unique<platform::PdqComm>(sim.directory()));

    QElapsedTimer clock;
    clock.start();
    qint64 splashSeen = -1;
    qint64 loginSeen = -1;
    bool workbenchSeen = false;
    bool portOpenInWorkbench = false;
    Driver driver([&] {
        if (splashSeen < 0 && visibleForm<frmSplash>())
            splashSeen = clock.elapsed();
        if (auto* login = visibleForm<frmLogin>(); login && loginSeen < 0) {
            loginSeen = clock.elapsed();
            login->txtUserName->setText(QStringLiteral("tech"));
            login->cmdOK->click();
        }
        if (auto* workbench = visibleForm<frmCalibrateSensor>()) {
            workbenchSeen = true;
            // Once the first channel has loaded, the operator closes the window.
            if (!workbench->isBusy() &&
                !testsupport::control<QLineEdit>(*workbench, "cboSensor")->text().isEmpty()) {
                portOpenInWorkbench = platform::PDQ().Comm1().portOpen();
                workbench->close();
            }
        }
    });

    app::Main();

    EXPECT_GE(splashSeen, 0);
    EXPECT_GE(loginSeen - splashSeen, 1900);
    EXPECT_LT(loginSeen - splashSeen, 4000);
    EXPECT_TRUE(workbenchSeen);
    EXPECT_TRUE(portOpenInWorkbench);
    EXPECT_EQ(programEnds, 1);
    EXPECT_FALSE(platform::PDQ().Comm1().portOpen());

    const auto commands = sim.commands();
    ASSERT_GE(commands.size(), 3u);
    EXPECT_EQ(commands[0], QByteArray(">(00F00 RX 22)"));
    EXPECT_EQ(commands[1], QByteArray(">(00TRX 112)"));
    EXPECT_EQ(commands[2], QByteArray(">(00TRX 113)"));
    EXPECT_EQ(Module1::vDisplayMicroInfo, QStringLiteral("V2.1"));
}

TEST_F(StartupTest, LoginClosedWithoutSuccessEndsWithoutAWorkbench) {
    bool workbenchSeen = false;
    Driver driver([&] {
        if (auto* login = visibleForm<frmLogin>())
            login->close();
        if (visibleForm<frmCalibrateSensor>())
            workbenchSeen = true;
    });
    app::Main();
    EXPECT_EQ(programEnds, 1);
    EXPECT_FALSE(workbenchSeen);
    EXPECT_FALSE(platform::PDQ().Comm1().portOpen());
}

} // namespace
