// The four setpoint fields driven through the real widgets: what entering a field prepares,
// what leaving it checks and replaces, which messages the operator gets, and which focus moves
// count as leaving a field.
#include "form_controls.h"
#include "platform/widgets/masked_edit.h"
#include "platform/widgets/message_box.h"
#include "shell/module1.h"
#include "workbench/frm_calibrate_sensor.h"
#include "workbench_harness.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <optional>

#include <memory>
#include <ostream>
#include <vector>

using workbench::frmCalibrateSensor;

QT_BEGIN_NAMESPACE
// Failure messages show texts as text.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

using platform::MaskEdBox;

const QString kRangeTitle = QStringLiteral("Invalid Data");
const QString kPsigMessage = QStringLiteral("Invalid Data, Valid Values are -12.5 to  62.5!");
const QString kVoltageTitle = QStringLiteral("Error-Invalid Data");
const QString kHighVoltsRange = QStringLiteral("Voltage Range is .1-5v");
const QString kHighBelowLow = QStringLiteral("Cannot be less than Low Sensor Voltage");
const QString kLowVoltsRange = QStringLiteral("Voltage Range is 0-4.9v");

class SetpointEntryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        form = std::make_unique<frmCalibrateSensor>();
        ui.emplace(*form);
        ui->Timer1->stop();
        form->show();
        form->activateWindow();
        QApplication::processEvents();
        ASSERT_TRUE(form->isActiveWindow());
        // Whatever the first activation loaded, the channel on display is set up here: nothing
        // after this talks to the controller.
        ui->Timer1->stop();
        showChannel("02"); // "0 - 50" in "PSIG"
        ui->cboChannelNumber->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
        harness.forget();
    }
    void TearDown() override {
        ui.reset();
        form.reset();
    }

    // The state a channel load leaves: setup code, range fields in the channel's mask with the
    // defaults, voltages 0.500 and 4.500, and the voltage mask and format as the last set.
    void showChannel(const QString& setupCode) {
        Module1::vChannelIndex = 16;
        Module1::sChannelSetup[0][1] = setupCode;
        const bool bar = setupCode.endsWith(u'6');
        setField(ui->medSensorRangeLo, bar ? "&#.###" : "&###.#", bar ? "+0.000" : "+000.0");
        setField(ui->medSensorRangeHi, bar ? "&#.###" : "&###.#", bar ? "+4.309" : "+050.0");
        setField(ui->medSensorLoVolts, "#.###", "0.500");
        setField(ui->medSensorHiVolts, "#.###", "4.500");
        Module1::vEntryMask = QStringLiteral("#.###");
        Module1::vDisplayFormat = QStringLiteral("0.000");
    }

    static void setField(MaskEdBox* field, const char* mask, const char* text) {
        field->setMask(QString::fromLatin1(mask));
        ASSERT_TRUE(field->setText(QString::fromLatin1(text))) << text;
    }

    // Puts the focus into the field as the operator would by tabbing to it.
    static void enter(MaskEdBox* field) {
        field->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        ASSERT_TRUE(field->hasFocus()) << qPrintable(field->objectName());
    }

    // Enters the field and types over its selected text; the typed result is checked so that a
    // case never tests something other than it says.
    static void type(MaskEdBox* field, const QString& keys, const QString& expected) {
        enter(field);
        QTest::keyClicks(field, keys);
        ASSERT_EQ(field->Text(), expected);
    }

    static void tabOut(QWidget* from) { QTest::keyClick(from, Qt::Key_Tab); }

    // Enters the field, types the text, leaves it with Tab; returns what the field then holds.
    QString typeAndLeave(MaskEdBox* field, const QString& keys, const QString& expected) {
        type(field, keys, expected);
        tabOut(field);
        return field->Text();
    }

    std::vector<QString> boxTexts() const {
        std::vector<QString> texts;
        for (const auto& box : harness.boxes.shown)
            texts.push_back(box.text);
        return texts;
    }

    testsupport::WorkbenchHarness harness;
    std::unique_ptr<frmCalibrateSensor> form;
    std::optional<testsupport::WorkbenchControls> ui;
};

// --- Voltages ---

TEST_F(SetpointEntryTest, HighVoltageBoundsAcceptedAndNeighboursReplaced) {
    MaskEdBox* high = ui->medSensorHiVolts;
    // A low voltage of 0 keeps the comparison with it out of the way.
    ASSERT_TRUE(ui->medSensorLoVolts->setText("0.000"));
    EXPECT_EQ(typeAndLeave(high, "0100", "0.100"), "0.100");
    EXPECT_EQ(typeAndLeave(high, "5000", "5.000"), "5.000");
    EXPECT_TRUE(harness.boxes.shown.empty());

    EXPECT_EQ(typeAndLeave(high, "5001", "5.001"), "5.000");
    EXPECT_EQ(typeAndLeave(high, "0099", "0.099"), "0.100");
    EXPECT_EQ(typeAndLeave(high, "9", "9.___"), "5.000");
    ASSERT_EQ(harness.boxes.shown.size(), 3u);
    for (const auto& box : harness.boxes.shown) {
        EXPECT_EQ(box.style, platform::vbOKOnly);
        EXPECT_EQ(box.title, kVoltageTitle);
        EXPECT_EQ(box.text, kHighVoltsRange);
    }
    EXPECT_EQ(high->Mask(), "#.###");
}

TEST_F(SetpointEntryTest, LowVoltageBoundsAcceptedAndNeighboursReplaced) {
    MaskEdBox* low = ui->medSensorLoVolts;
    EXPECT_EQ(typeAndLeave(low, "4900", "4.900"), "4.900");
    EXPECT_EQ(typeAndLeave(low, "0000", "0.000"), "0.000");
    EXPECT_EQ(typeAndLeave(low, "12", "1.2__"), "1.200");
    EXPECT_TRUE(harness.boxes.shown.empty());

    EXPECT_EQ(typeAndLeave(low, "4901", "4.901"), "4.900");
    EXPECT_EQ(typeAndLeave(low, "495", "4.95_"), "4.900");
    ASSERT_EQ(harness.boxes.shown.size(), 2u);
    for (const auto& box : harness.boxes.shown) {
        EXPECT_EQ(box.style, platform::vbOKOnly);
        EXPECT_EQ(box.title, kVoltageTitle);
        EXPECT_EQ(box.text, kLowVoltsRange);
    }

    // Not compared with the high voltage: above it is kept.
    harness.forget();
    ASSERT_TRUE(ui->medSensorHiVolts->setText("1.000"));
    EXPECT_EQ(typeAndLeave(low, "2", "2.___"), "2.000");
    EXPECT_TRUE(harness.boxes.shown.empty());
    EXPECT_EQ(ui->medSensorHiVolts->Text(), "1.000");
}

TEST_F(SetpointEntryTest, PromptsOnlyReadAsZero) {
    // Delete clears the selected positions back to prompts.
    MaskEdBox* low = ui->medSensorLoVolts;
    enter(low);
    QTest::keyClick(low, Qt::Key_Delete);
    ASSERT_EQ(low->Text(), "_.___");
    tabOut(low);
    EXPECT_EQ(low->Text(), "0.000");
    EXPECT_TRUE(harness.boxes.shown.empty());

    // High voltage of prompts: 0.100 with the range message, then the comparison with a low
    // voltage above it gives that plus 0.1.
    ASSERT_TRUE(low->setText("0.500"));
    MaskEdBox* high = ui->medSensorHiVolts;
    enter(high);
    QTest::keyClick(high, Qt::Key_Delete);
    ASSERT_EQ(high->Text(), "_.___");
    tabOut(high);
    EXPECT_EQ(high->Text(), "0.600");
    EXPECT_EQ(boxTexts(), (std::vector<QString>{kHighVoltsRange, kHighBelowLow}));
}

TEST_F(SetpointEntryTest, HighVoltageAgainstLowVoltage) {
    MaskEdBox* high = ui->medSensorHiVolts;
    ASSERT_TRUE(ui->medSensorLoVolts->setText("0.500"));

    // Equal is accepted.
    EXPECT_EQ(typeAndLeave(high, "0500", "0.500"), "0.500");
    EXPECT_TRUE(harness.boxes.shown.empty());

    // Below the low voltage: low voltage plus 0.1.
    ASSERT_TRUE(ui->medSensorLoVolts->setText("2.000"));
    EXPECT_EQ(typeAndLeave(high, "1999", "1.999"), "2.100");
    ASSERT_EQ(harness.boxes.shown.size(), 1u);
    EXPECT_EQ(harness.boxes.shown[0].title, kVoltageTitle);
    EXPECT_EQ(harness.boxes.shown[0].text, kHighBelowLow);

    // Both messages on one exit, in order: 0 first becomes 0.100, then 0.600.
    harness.forget();
    ASSERT_TRUE(ui->medSensorLoVolts->setText("0.500"));
    EXPECT_EQ(typeAndLeave(high, "0000", "0.000"), "0.600");
    EXPECT_EQ(boxTexts(), (std::vector<QString>{kHighVoltsRange, kHighBelowLow}));
    for (const auto& box : harness.boxes.shown)
        EXPECT_EQ(box.title, kVoltageTitle);
}

TEST_F(SetpointEntryTest, EnteringAVoltageCompletesItsTextAndSelectsIt) {
    MaskEdBox* low = ui->medSensorLoVolts;
    ASSERT_TRUE(low->setText("4.5"));
    ASSERT_EQ(low->Text(), "4.5__");
    Module1::sValueText = QStringLiteral("left over");
    Module1::vEntryMask = QStringLiteral("&###.#");
    Module1::vDisplayFormat = QStringLiteral("+000.0");

    // Tab from the low range field into it.
    enter(ui->medSensorRangeLo);
    tabOut(ui->medSensorRangeLo);
    ASSERT_TRUE(low->hasFocus());
    EXPECT_EQ(low->Text(), "4.500");
    EXPECT_EQ(low->Mask(), "#.###");
    EXPECT_EQ(low->SelStart(), 0);
    EXPECT_EQ(low->SelLength(), 5);
    EXPECT_EQ(Module1::vEntryMask, "#.###");
    EXPECT_EQ(Module1::vDisplayFormat, "0.000");
    EXPECT_TRUE(Module1::sValueText.isEmpty());
    EXPECT_TRUE(harness.boxes.shown.empty());

    // A field of prompts becomes 0.000 on entry, without a message.
    MaskEdBox* high = ui->medSensorHiVolts;
    ASSERT_TRUE(high->setText(""));
    enter(high);
    EXPECT_EQ(high->Text(), "0.000");
    EXPECT_EQ(high->SelLength(), 5);
    EXPECT_TRUE(harness.boxes.shown.empty());
}

// --- Range values ---

TEST_F(SetpointEntryTest, RangeWorkedExamplePsig) {
    MaskEdBox* lo = ui->medSensorRangeLo;
    MaskEdBox* hi = ui->medSensorRangeHi;

    EXPECT_EQ(typeAndLeave(hi, "+0700", "+070.0"), "+062.5");
    ASSERT_EQ(harness.boxes.shown.size(), 1u);
    EXPECT_EQ(harness.boxes.shown[0].style, platform::vbOKOnly);
    EXPECT_EQ(harness.boxes.shown[0].title, kRangeTitle);
    EXPECT_EQ(harness.boxes.shown[0].text, kPsigMessage);
    EXPECT_EQ(hi->Mask(), "&###.#");

    EXPECT_EQ(typeAndLeave(lo, "-0200", "-020.0"), "-012.5");
    EXPECT_EQ(boxTexts(), (std::vector<QString>{kPsigMessage, kPsigMessage}));

    harness.forget();
    ASSERT_TRUE(lo->setText("+020.0"));
    EXPECT_EQ(typeAndLeave(hi, "+0100", "+010.0"), "+020.0");
    EXPECT_EQ(boxTexts(), std::vector<QString>{kPsigMessage});
}

TEST_F(SetpointEntryTest, RangeBoundsOfHighAndLowValues) {
    MaskEdBox* lo = ui->medSensorRangeLo;
    MaskEdBox* hi = ui->medSensorRangeHi;

    // The high value may reach the upper limit, the low value one less.
    EXPECT_EQ(typeAndLeave(hi, "+0625", "+062.5"), "+062.5");
    EXPECT_EQ(typeAndLeave(lo, "+0615", "+061.5"), "+061.5");
    EXPECT_EQ(typeAndLeave(lo, "-0125", "-012.5"), "-012.5");
    EXPECT_TRUE(harness.boxes.shown.empty());

    // Above that, the low value becomes the upper limit less one, which then passes.
    EXPECT_EQ(typeAndLeave(lo, "+0616", "+061.6"), "+061.5");
    EXPECT_EQ(boxTexts(), std::vector<QString>{kPsigMessage});
    enter(lo);
    tabOut(lo);
    EXPECT_EQ(lo->Text(), "+061.5");
    EXPECT_EQ(harness.boxes.shown.size(), 1u);

    // A high value equal to the low value is accepted.
    harness.forget();
    ASSERT_TRUE(lo->setText("+020.0"));
    EXPECT_EQ(typeAndLeave(hi, "+0200", "+020.0"), "+020.0");
    EXPECT_TRUE(harness.boxes.shown.empty());

    // Below the lower limit the high value becomes the lower limit (the low value is
    // not what it is replaced by here).
    EXPECT_EQ(typeAndLeave(hi, "-0200", "-020.0"), "-012.5");
    EXPECT_EQ(boxTexts(), std::vector<QString>{kPsigMessage});

    // Within the limits, above the upper limit less one and below the low value: the upper
    // limit, not the low value.
    harness.forget();
    ASSERT_TRUE(lo->setText("+062.0"));
    EXPECT_EQ(typeAndLeave(hi, "+0618", "+061.8"), "+062.5");
    EXPECT_EQ(boxTexts(), std::vector<QString>{kPsigMessage});
}

TEST_F(SetpointEntryTest, RangeMessageNamesLimitsInMessageNumberForm) {
    showChannel("06"); // "0 - 50" in "BAR"
    MaskEdBox* hi = ui->medSensorRangeHi;
    EXPECT_EQ(typeAndLeave(hi, "+5000", "+5.000"), "+4.309");
    ASSERT_EQ(harness.boxes.shown.size(), 1u);
    EXPECT_EQ(harness.boxes.shown[0].title, kRangeTitle);
    EXPECT_EQ(harness.boxes.shown[0].text, "Invalid Data, Valid Values are -.862 to  4.309!");

    harness.forget();
    MaskEdBox* lo = ui->medSensorRangeLo;
    EXPECT_EQ(typeAndLeave(lo, "-0900", "-0.900"), "-0.862");
    EXPECT_EQ(typeAndLeave(lo, "+3310", "+3.310"), "+3.309");
    EXPECT_EQ(typeAndLeave(lo, "+3309", "+3.309"), "+3.309");
    EXPECT_EQ(harness.boxes.shown.size(), 2u);
}

TEST_F(SetpointEntryTest, SignPositionHoldingAnotherCharacterIsCheckedByTheValueKept) {
    // The field keeps the digits (70, above the highest low value 61.5), so that is what is
    // checked: a letter in the sign position no longer lets a value past the limits.
    MaskEdBox* lo = ui->medSensorRangeLo;
    EXPECT_EQ(typeAndLeave(lo, "a0700", "a070.0"), "+061.5");
    EXPECT_EQ(boxTexts(), std::vector<QString>{kPsigMessage});
    EXPECT_EQ(typeAndLeave(lo, "a0200", "a020.0"), "+020.0"); // within the limits: kept
    EXPECT_EQ(boxTexts(), std::vector<QString>{kPsigMessage});

    // In the high field the kept 20 lies below a low value of 30: it becomes the low value.
    harness.forget();
    ASSERT_TRUE(lo->setText("+030.0"));
    EXPECT_EQ(typeAndLeave(ui->medSensorRangeHi, "x0200", "x020.0"), "+030.0");
    EXPECT_EQ(boxTexts(), std::vector<QString>{kPsigMessage});
}

TEST_F(SetpointEntryTest, RangeValueGetsTheMaskOfTheChannelBeforeItsText) {
    // The fields still carry the PSIG layout while the channel on display reads BAR: the
    // replacement "+4.309" only fits once the BAR mask is in place.
    Module1::sChannelSetup[0][1] = QStringLiteral("06");
    MaskEdBox* hi = ui->medSensorRangeHi;
    EXPECT_EQ(typeAndLeave(hi, "+0500", "+050.0"), "+4.309");
    EXPECT_EQ(hi->Mask(), "&#.###");
}

TEST_F(SetpointEntryTest, EnteringARangeFieldSelectsItsTextUnchanged) {
    MaskEdBox* hi = ui->medSensorRangeHi;
    enter(ui->medSensorLoVolts);
    tabOut(ui->medSensorLoVolts);
    ASSERT_TRUE(hi->hasFocus());
    EXPECT_EQ(hi->Text(), "+050.0");
    EXPECT_EQ(hi->Mask(), "&###.#");
    EXPECT_EQ(hi->SelStart(), 0);
    EXPECT_EQ(hi->SelLength(), 6);
}

TEST_F(SetpointEntryTest, HandlersLeaveTheCancelFlagFalse) {
    ASSERT_TRUE(ui->medSensorRangeHi->setText("+070.0"));
    ASSERT_TRUE(ui->medSensorRangeLo->setText("+070.0"));
    ASSERT_TRUE(ui->medSensorHiVolts->setText("9.000"));
    ASSERT_TRUE(ui->medSensorLoVolts->setText("9.000"));
    bool cancel = false;
    form->medSensorRangeHi_Validate(cancel);
    EXPECT_FALSE(cancel);
    form->medSensorRangeLo_Validate(cancel);
    EXPECT_FALSE(cancel);
    form->medSensorHiVolts_Validate(cancel);
    EXPECT_FALSE(cancel);
    form->medSensorLoVolts_Validate(cancel);
    EXPECT_FALSE(cancel);
    // High range 70 above 62.5, low range 70 above 61.5, high voltage 9 above 5 and then
    // under the low voltage 9, low voltage 9 above 4.9.
    EXPECT_EQ(boxTexts(), (std::vector<QString>{kPsigMessage, kPsigMessage, kHighVoltsRange,
                                                kHighBelowLow, kLowVoltsRange}));
    EXPECT_EQ(ui->medSensorRangeHi->Text(), "+062.5");
    EXPECT_EQ(ui->medSensorRangeLo->Text(), "+061.5");
    // The high voltage follows the low voltage it was compared with; the low voltage's own
    // check comes only when that field is left.
    EXPECT_EQ(ui->medSensorHiVolts->Text(), "9.100");
    EXPECT_EQ(ui->medSensorLoVolts->Text(), "4.900");
}

// --- Which focus moves validate ---

TEST_F(SetpointEntryTest, TabOutValidatesOnceAndFocusMovesOn) {
    MaskEdBox* hi = ui->medSensorRangeHi;
    type(hi, "+0700", "+070.0");
    tabOut(hi);
    QApplication::processEvents();
    EXPECT_TRUE(ui->medSensorHiVolts->hasFocus());
    EXPECT_EQ(hi->Text(), "+062.5");
    EXPECT_EQ(harness.boxes.shown.size(), 1u);

    // The next field was prepared after the check: its text selected, and the voltage mask
    // and format, not the range ones the check refreshed, are the last set.
    EXPECT_EQ(ui->medSensorHiVolts->SelLength(), 5);
    EXPECT_EQ(Module1::vEntryMask, "#.###");
    EXPECT_EQ(Module1::vDisplayFormat, "0.000");

    // Leaving the next field checks only that one.
    tabOut(ui->medSensorHiVolts);
    QApplication::processEvents();
    EXPECT_TRUE(ui->cmdAccept->hasFocus());
    EXPECT_EQ(harness.boxes.shown.size(), 1u);
}

TEST_F(SetpointEntryTest, ShiftTabValidatesToo) {
    MaskEdBox* hi = ui->medSensorRangeHi;
    type(hi, "+0700", "+070.0");
    QTest::keyClick(hi, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(ui->medSensorLoVolts->hasFocus());
    EXPECT_EQ(hi->Text(), "+062.5");
    EXPECT_EQ(boxTexts(), std::vector<QString>{kPsigMessage});
}

TEST_F(SetpointEntryTest, ClickOnAnotherControlValidates) {
    MaskEdBox* lo = ui->medSensorRangeLo;
    type(lo, "-0200", "-020.0");
    QTest::mouseClick(ui->medSensorHiVolts, Qt::LeftButton);
    EXPECT_TRUE(ui->medSensorHiVolts->hasFocus());
    EXPECT_EQ(lo->Text(), "-012.5");
    EXPECT_EQ(boxTexts(), std::vector<QString>{kPsigMessage});
}

TEST_F(SetpointEntryTest, FocusToAnotherWindowAndBackDoesNotValidate) {
    MaskEdBox* hi = ui->medSensorRangeHi;
    type(hi, "+0700", "+070.0");

    // A box of its own (not one the checks show) takes the focus, and is closed.
    {
        QMessageBox other(QMessageBox::NoIcon, "Other", "Something else", QMessageBox::Ok,
                          form.get());
        other.setWindowModality(Qt::NonModal);
        other.show();
        other.activateWindow();
        QApplication::processEvents();
        ASSERT_TRUE(other.isActiveWindow());
        ASSERT_FALSE(hi->hasFocus());
        other.close();
    }
    form->activateWindow();
    QApplication::processEvents();
    ASSERT_TRUE(hi->hasFocus());
    EXPECT_EQ(hi->Text(), "+070.0");

    // The focus leaves the program altogether and comes back.
    hi->clearFocus();
    QApplication::processEvents();
    hi->setFocus(Qt::ActiveWindowFocusReason);
    QApplication::processEvents();
    ASSERT_TRUE(hi->hasFocus());
    EXPECT_EQ(hi->Text(), "+070.0");
    EXPECT_TRUE(harness.boxes.shown.empty());

    // Leaving it for the next control is checked, once.
    tabOut(hi);
    EXPECT_EQ(hi->Text(), "+062.5");
    EXPECT_EQ(harness.boxes.shown.size(), 1u);
}

// Answers real message boxes with their OK button and records their texts. As the window
// system does when a box goes away (the offscreen one needs telling), the form gets the focus
// back while the call that showed the box is still running.
class RealBoxOperator {
  public:
    explicit RealBoxOperator(QWidget* form)
        : m_previous(platform::messageBoxHandler()), m_form(form) {
        platform::setMessageBoxHandler({});
        arm();
    }
    ~RealBoxOperator() { platform::setMessageBoxHandler(m_previous); }
    RealBoxOperator(const RealBoxOperator&) = delete;
    RealBoxOperator& operator=(const RealBoxOperator&) = delete;

    std::vector<QString> seen;

  private:
    static constexpr std::size_t kRunaway = 5;

    void arm() {
        QTimer::singleShot(0, &m_context, [this] { answer(); });
    }
    void answer() {
        arm(); // also answers a box shown while the focus comes back
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isActiveWindow())
            return;
        seen.push_back(box->text());
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        if (seen.size() >= kRunaway)
            return; // boxes without end: stop giving the focus back, let the test fail
        m_form->activateWindow();
        QApplication::processEvents();
    }

    platform::MessageBoxHandler m_previous;
    QWidget* m_form;
    QObject m_context;
};

TEST_F(SetpointEntryTest, RealMessageBoxTakingAndReturningTheFocusDoesNotValidateAgain) {
    RealBoxOperator boxes(form.get());

    MaskEdBox* hi = ui->medSensorRangeHi;
    type(hi, "+0700", "+070.0");
    tabOut(hi); // the box is shown and answered inside this
    QApplication::processEvents();
    EXPECT_EQ(boxes.seen, std::vector<QString>{kPsigMessage});
    ASSERT_TRUE(form->isActiveWindow());
    EXPECT_TRUE(ui->medSensorHiVolts->hasFocus());
    EXPECT_EQ(hi->Text(), "+062.5");
    EXPECT_EQ(ui->medSensorHiVolts->SelLength(), 5);

    // The field entered is the one being edited: leaving it checks it alone.
    QTest::keyClicks(ui->medSensorHiVolts, "9");
    tabOut(ui->medSensorHiVolts);
    QApplication::processEvents();
    EXPECT_EQ(ui->medSensorHiVolts->Text(), "5.000");
    EXPECT_EQ(boxes.seen, (std::vector<QString>{kPsigMessage, kHighVoltsRange}));
    EXPECT_TRUE(ui->cmdAccept->hasFocus());
}

TEST_F(SetpointEntryTest, DisabledVoltageFieldIsNeverChecked) {
    MaskEdBox* low = ui->medSensorLoVolts;
    type(low, "9", "9.___");
    // A temperature sensor: the voltage fields are disabled, the focus moves on by itself.
    low->setEnabled(false);
    ui->medSensorHiVolts->setEnabled(false);
    QApplication::processEvents();
    EXPECT_FALSE(low->hasFocus());
    EXPECT_EQ(low->Text(), "9.___");
    EXPECT_TRUE(harness.boxes.shown.empty());

    // Tabbing through the form passes them by.
    enter(ui->medSensorRangeLo);
    tabOut(ui->medSensorRangeLo);
    EXPECT_TRUE(ui->medSensorRangeHi->hasFocus());
    tabOut(ui->medSensorRangeHi);
    EXPECT_TRUE(ui->cmdAccept->hasFocus());
    EXPECT_EQ(low->Text(), "9.___");
    EXPECT_TRUE(harness.boxes.shown.empty());
}

} // namespace
