// The operator's input arriving while a load or an Accept waits for the controller: the waits
// run the event loop as the program's own do, and the input comes from the window system, so
// it reaches the window exactly when it would in use.
#include "form_controls.h"
#include "platform/widgets/masked_edit.h"
#include "records/report_file.h"
#include "shell/module1.h"
#include "sim_process.h"
#include "workbench/frm_calibrate_sensor.h"
#include "workbench_harness.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <qpa/qwindowsysteminterface.h>

using workbench::frmCalibrateSensor;

namespace {

class InterferenceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(testsupport::putReportTemplateIn(dir));

        harness.waits.runEventLoop = true;
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        // The window's activation loads channel 30.
        ASSERT_TRUE(testsupport::waitUntil([&] { return harness.count(">(0140A RX 11)") > 0; }));
        ui.Timer1->stop();
        harness.forget();
    }
    void TearDown() override {
        harness.waits.onYield = nullptr;
        records::setReportDirectoryForTests(QString());
    }

    QWindow* window() { return form.windowHandle(); }
    QPointF at(QWidget* control) const {
        return QPointF(control->mapTo(&form, control->rect().center()));
    }

    // Input as the window system hands it over: queued, delivered by the event loop.
    void click(QWidget* control) {
        const QPointF local = at(control);
        const QPointF global = QPointF(form.mapToGlobal(local.toPoint()));
        QWindowSystemInterface::handleMouseEvent(window(), local, global, Qt::LeftButton,
                                                 Qt::LeftButton, QEvent::MouseButtonPress);
        QWindowSystemInterface::handleMouseEvent(window(), local, global, Qt::NoButton,
                                                 Qt::LeftButton, QEvent::MouseButtonRelease);
    }
    void wheel(QWidget* control, int notches) {
        const QPointF local = at(control);
        const QPointF global = QPointF(form.mapToGlobal(local.toPoint()));
        QWindowSystemInterface::handleWheelEvent(window(), local, global, QPoint(),
                                                 QPoint(0, -120 * notches));
    }
    void key(int code, const QString& text = QString(),
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWindowSystemInterface::handleKeyEvent(window(), QEvent::KeyPress, code, modifiers, text);
        QWindowSystemInterface::handleKeyEvent(window(), QEvent::KeyRelease, code, modifiers, text);
    }

    // Runs `interfere` once, in the first wait after `command` went out.
    void whenSent(const QByteArray& command, std::function<void()> interfere) {
        harness.waits.onYield = [this, command, interfere] {
            const auto sent = harness.commands();
            if (!sent.empty() && sent.back() == command) {
                const auto once = interfere; // clearing the hook destroys this closure
                harness.waits.onYield = nullptr;
                once();
            }
        };
    }

    QStringList fieldTexts() const {
        return {ui.medSensorLoVolts->Text(), ui.medSensorHiVolts->Text(),
                ui.medSensorRangeLo->Text(), ui.medSensorRangeHi->Text()};
    }
    QByteArray report() const {
        QFile file(dir.filePath(QStringLiteral("CalData.txt")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    testsupport::WorkbenchHarness harness;
    frmCalibrateSensor form;
    testsupport::WorkbenchControls ui{form};
};

TEST_F(InterferenceTest, InputDuringAnAcceptChangesNothingSentShownOrRecorded) {
    // The about box, if it opens at all, records which commands had gone out by then.
    std::vector<QByteArray> sentWhenAboutOpened;
    QTimer closeAbout;
    QObject::connect(&closeAbout, &QTimer::timeout, [&] {
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            modal && modal != &form) {
            sentWhenAboutOpened = harness.commands();
            modal->reject();
        }
    });
    closeAbout.start(5);

    const QStringList before = fieldTexts();
    ASSERT_EQ(before, (QStringList{"0.500", "4.500", "+000.0", "+100.0"}));
    ui.cboChannelNumber->setFocus();
    QApplication::clipboard()->setText(QStringLiteral("4.999"));

    // While T ON waits: the wheel and Down on the channel list, a click into a field and keys
    // typed, a paste, and a press of Info.
    whenSent(">(00T ON)", [&] {
        wheel(ui.cboChannelNumber, 1);
        key(Qt::Key_Down);
        click(ui.medSensorHiVolts);
        key(Qt::Key_9, QStringLiteral("9"));
        key(Qt::Key_V, QString(), Qt::ControlModifier);
        click(ui.cmdAbout);
    });
    ui.cmdAccept->click();

    // Sent, recorded and shown all stay what the fields held when Accept was pressed.
    EXPECT_EQ(harness.commands(),
              (std::vector<QByteArray>{">(00T ON)", ">(00TC 00 0409 +000.0 3685 +100.0)",
                                       ">(00T OFF)", ">(0140A RX 11)"}));
    const QByteArray file = report();
    ASSERT_EQ(file.size(), 674);
    EXPECT_EQ(file.mid(55, 34), QByteArray("0.500    4.500    +000.0    +100.0"));
    EXPECT_EQ(file.mid(100, 34), QByteArray("xxx.x    x.xxx    +xxx.x    +xxx.x"));
    EXPECT_EQ(fieldTexts(), before);
    EXPECT_EQ(ui.cboChannelNumber->currentText(), QStringLiteral("30"));
    EXPECT_EQ(*Module1::vChannelIndex, 16);

    // Info opens once the Accept is over, never between T ON and T OFF; nothing else that
    // was swallowed comes back later, not even the channel change.
    ASSERT_TRUE(testsupport::waitUntil([&] { return !sentWhenAboutOpened.empty(); }, 5000));
    EXPECT_EQ(sentWhenAboutOpened.size(), 4u);
    QTest::qWait(50);
    EXPECT_EQ(fieldTexts(), before);
    EXPECT_EQ(ui.cboChannelNumber->currentText(), QStringLiteral("30"));
    EXPECT_EQ(harness.count(">(00TRX 114)"), 0); // channel 31 was never loaded
    EXPECT_TRUE(harness.boxes.shown.empty());
}

TEST_F(InterferenceTest, InputDuringALoadIsDroppedAndTheStepperKeepsTheFocus) {
    ui.cmdNextChannel->setFocus();
    whenSent(">(00TRX 113)", [&] {
        wheel(ui.cboChannelNumber, 3);
        click(ui.medSensorRangeHi);
        key(Qt::Key_7, QStringLiteral("7"));
    });
    key(Qt::Key_Space, QStringLiteral(" ")); // Next, from the keyboard
    ASSERT_TRUE(testsupport::waitUntil([&] { return harness.count(">(0144A RX 11)") == 1; }));
    QTest::qWait(50);

    // Channel 31 was loaded once, shows its own defaults, and the focus is back on Next.
    EXPECT_EQ(harness.commands(),
              (std::vector<QByteArray>{">(00TRX 113)", ">(00TRX 114)", ">(0144A RX 11)"}));
    EXPECT_EQ(ui.cboChannelNumber->currentText(), QStringLiteral("31"));
    EXPECT_EQ(*Module1::vChannelIndex, 17);
    EXPECT_EQ(ui.cboRange->text(), QStringLiteral("Fahrenheit"));
    EXPECT_EQ(fieldTexts(), (QStringList{"1.320", "3.620", "-0040.", "+0572."}));
    EXPECT_EQ(QApplication::focusWidget(), ui.cmdNextChannel);

    // Space steps on.
    key(Qt::Key_Space, QStringLiteral(" "));
    ASSERT_TRUE(testsupport::waitUntil([&] { return harness.count(">(0148A RX 11)") == 1; }));
    EXPECT_EQ(ui.cboChannelNumber->currentText(), QStringLiteral("32"));
}

TEST_F(InterferenceTest, TypingDuringALiveReadingStillReachesTheField) {
    ui.medSensorRangeHi->setFocus();
    ui.medSensorRangeHi->selectAll();
    whenSent(">(0140A RX 11)", [&] {
        key(Qt::Key_Plus, QStringLiteral("+"));
        key(Qt::Key_0, QStringLiteral("0"));
        key(Qt::Key_5, QStringLiteral("5"));
    });
    form.Timer1_Timer();
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return ui.medSensorRangeHi->Text().startsWith(QStringLiteral("+05")); }, 2000))
        << ui.medSensorRangeHi->Text().toStdString();
}

} // namespace
