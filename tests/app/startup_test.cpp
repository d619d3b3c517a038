// The whole start-up against the simulated controller: splash, login, identity block,
// workbench, shutdown.
#include "app/startup.h"
#include "form_controls.h"
#include "login/frm_login.h"
#include "platform/serial/pdq.h"
#include "platform/serial/pdq_comm.h"
#include "platform/system/program_end.h"
#include "shell/module1.h"
#include "shell/splash.h"
#include "sim_process.h"
#include "workbench/controller_identity.h"
#include "workbench/frm_calibrate_sensor.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <optional>

using shell::frmSplash;

using login::frmLogin;

using workbench::frmCalibrateSensor;

namespace {

// What of a form animates on its own: each running animation, named by what it animates.
QStringList runningAnimations(const QWidget& form) {
    QStringList running;
    for (const QAbstractAnimation* animation : form.findChildren<QAbstractAnimation*>())
        if (animation->state() == QAbstractAnimation::Running)
            running << animation->parent()->objectName() + QLatin1Char(' ') +
                           QLatin1String(animation->metaObject()->className());
    return running;
}

// Whether the button's frame is drawn: some pixel of its left edge is not the form's
// background. A default button whose pulse was held before its first frame would show only
// its caption.
bool frameDrawn(QWidget& button) {
    const QImage image = button.grab().toImage();
    const QColor background = button.palette().color(QPalette::Window);
    for (int x = 0; x < qMin(3, image.width()); ++x)
        for (int y = image.height() / 4; y < image.height() * 3 / 4; ++y)
            if (image.pixelColor(x, y) != background)
                return true;
    return false;
}

template <typename Form> Form* visibleForm() {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<Form*>(top); form && form->isVisible())
            return form;
    return nullptr;
}

// Watches the screens every few milliseconds while start-up runs its modal windows. Should a
// step never come, the start-up is ended after a deadline rather than left to the test run's
// timeout: every window is closed and what was on screen is kept for the failure message.
class Driver {
  public:
    static constexpr qint64 kDeadlineMs = 120'000;

    explicit Driver(std::function<void()> step) : m_step(std::move(step)) {
        m_clock.start();
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.start(5);
    }
    // The windows on screen when the deadline passed, or empty when every step came in time.
    QString timedOut() const { return m_onScreen; }

  private:
    void tick() {
        if (m_onScreen.isEmpty() && m_clock.elapsed() < kDeadlineMs) {
            m_step();
            return;
        }
        if (m_onScreen.isEmpty())
            m_onScreen = onScreen();
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible())
                top->close();
    }
    static QString onScreen() {
        QStringList windows;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible())
                windows << QStringLiteral("%1 \"%2\"%3")
                               .arg(QLatin1String(top->metaObject()->className()),
                                    top->windowTitle(),
                                    top->isActiveWindow() ? QStringLiteral(" (active)")
                                                          : QString());
        return windows.isEmpty() ? QStringLiteral("no window") : windows.join(QStringLiteral(", "));
    }

    QElapsedTimer m_clock;
    QTimer m_timer;
    std::function<void()> m_step;
    QString m_onScreen;
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
            const testsupport::LoginControls ui(*login);
            ui.txtUserName->setText(QStringLiteral("tech"));
            ui.cmdOK->click();
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

    ASSERT_TRUE(driver.timedOut().isEmpty())
        << "still on screen after the deadline: " << driver.timedOut().toStdString();
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

// How long a form may take to come to rest once it is active: a button fading between two
// looks ends well within it; a pulse never does.
constexpr qint64 kRestMs = 3000;

// What still runs in a form that has been the active window, painted as such, for a while.
class RestWatch {
  public:
    // True once the form has come to rest, or kRestMs have passed (what still runs is then
    // kept); false while the form is not yet active, or still moving.
    bool settled(QWidget& form) {
        if (m_result)
            return true;
        if (!form.isActiveWindow()) {
            form.activateWindow();
            return false;
        }
        if (!m_clock.isValid()) {
            form.repaint();
            m_clock.start();
        }
        const QStringList running = runningAnimations(form);
        if (running.isEmpty() || m_clock.elapsed() > kRestMs)
            m_result = running;
        return m_result.has_value();
    }
    std::optional<QStringList> result() const { return m_result; }

  private:
    QElapsedTimer m_clock;
    std::optional<QStringList> m_result;
};

// While a form only waits for the operator nothing in it moves: Windows' style would make the
// default button (the login's OK, the workbench's first button) pulse, repainting the active
// form many times a second. Held still, the default button is still drawn. The forms are drawn in
// that style where there is one (the offscreen platform would pick another).
TEST_F(StartupTest, TheLoginAndTheWorkbenchComeToRestWhileTheyWait) {
    const QString usualStyle = QApplication::style()->name();
    const auto restoreStyle = qScopeGuard([&] { QApplication::setStyle(usualStyle); });
    if (QStyleFactory::keys().contains(QStringLiteral("windowsvista"), Qt::CaseInsensitive))
        QApplication::setStyle(QStringLiteral("windowsvista"));
    testsupport::SimProcess sim;
    ASSERT_TRUE(sim.start());
    platform::PDQ().replaceComm1(std::make_unique<platform::PdqComm>(sim.directory()));

    RestWatch login;
    RestWatch workbench;
    bool signedIn = false;
    bool okDrawn = false;
    Driver driver([&] {
        if (auto* form = visibleForm<frmLogin>(); form && !signedIn && login.settled(*form)) {
            signedIn = true;
            const testsupport::LoginControls ui(*form);
            okDrawn = frameDrawn(*ui.cmdOK);
            ui.txtUserName->setText(QStringLiteral("tech"));
            ui.cmdOK->click();
        }
        if (auto* form = visibleForm<frmCalibrateSensor>();
            form && !form->isBusy() && workbench.settled(*form))
            form->close();
    });
    app::Main();

    ASSERT_TRUE(driver.timedOut().isEmpty())
        << "still on screen after the deadline: " << driver.timedOut().toStdString();
    ASSERT_TRUE(login.result().has_value());
    EXPECT_TRUE(login.result()->isEmpty()) << login.result()->join(u',').toStdString();
    EXPECT_TRUE(okDrawn);
    ASSERT_TRUE(workbench.result().has_value());
    EXPECT_TRUE(workbench.result()->isEmpty()) << workbench.result()->join(u',').toStdString();
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
    ASSERT_TRUE(driver.timedOut().isEmpty())
        << "still on screen after the deadline: " << driver.timedOut().toStdString();
    EXPECT_EQ(programEnds, 1);
    EXPECT_FALSE(workbenchSeen);
    EXPECT_FALSE(platform::PDQ().Comm1().portOpen());
}

} // namespace
