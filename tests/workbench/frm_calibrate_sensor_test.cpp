// The workbench window as built: its controls with names, captions, tool tips and spoken names,
// the tab order, the state Form_Load leaves, the keyboard (Esc presses Exit, Enter presses
// nothing), and the voltage fields as they are painted for a temperature and a pressure sensor.
#include "platform/masked_edit.h"
#include "shell/module1.h"
#include "workbench/frm_calibrate_sensor.h"
#include "workbench_harness.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using workbench::frmCalibrateSensor;

namespace {

class WorkbenchFormTest : public ::testing::Test {
  protected:
    void SetUp() override { Module1::ResetSharedState(); }
    void TearDown() override { Module1::ResetSharedState(); }

    // Shows the form as the active window with the focus in the given control.
    void showWithFocusIn(QWidget* control) {
        form.show();
        form.activateWindow();
        QApplication::processEvents();
        control->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
        ASSERT_TRUE(control->hasFocus()) << qPrintable(control->objectName());
    }

    void showCode(const QString& code) {
        Module1::vChannelIndex = 16;
        Module1::sChannelSetup[0][1] = code;
        form.GetSensorData();
    }

    testsupport::WorkbenchHarness harness;
    frmCalibrateSensor form;
};

QString spokenName(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QStringLiteral("<no interface>");
}

TEST_F(WorkbenchFormTest, ControlsCarryTheirNamesKindsAndTexts) {
    EXPECT_EQ(form.windowTitle(), "Calibrate Sensors");

    struct Named {
        QObject* member;
        const char* name;
        const QMetaObject* kind;
    };
    const Named controls[] = {
        {form.Frame3, "Frame3", &QFrame::staticMetaObject},
        {form.Frame1, "Frame1", &QFrame::staticMetaObject},
        {form.Frame2, "Frame2", &QGroupBox::staticMetaObject},
        {form.Line1, "Line1", &QFrame::staticMetaObject},
        {form.cboChannelNumber, "cboChannelNumber", &QComboBox::staticMetaObject},
        {form.cboSensor, "cboSensor", &QLineEdit::staticMetaObject},
        {form.cboRange, "cboRange", &QLineEdit::staticMetaObject},
        {form.cboAnalogData, "cboAnalogData", &QLineEdit::staticMetaObject},
        {form.medSensorRangeLo, "medSensorRangeLo", &platform::MaskEdBox::staticMetaObject},
        {form.medSensorRangeHi, "medSensorRangeHi", &platform::MaskEdBox::staticMetaObject},
        {form.medSensorLoVolts, "medSensorLoVolts", &platform::MaskEdBox::staticMetaObject},
        {form.medSensorHiVolts, "medSensorHiVolts", &platform::MaskEdBox::staticMetaObject},
        {form.cmdAccept, "cmdAccept", &QPushButton::staticMetaObject},
        {form.cmdPrevChannel, "cmdPrevChannel", &QPushButton::staticMetaObject},
        {form.cmdNextChannel, "cmdNextChannel", &QPushButton::staticMetaObject},
        {form.cmdCancel, "cmdCancel", &QPushButton::staticMetaObject},
        {form.cmdAbout, "cmdAbout", &QPushButton::staticMetaObject},
        {form.lblChannelNumber, "lblChannelNumber", &QLabel::staticMetaObject},
        {form.lblSensor, "lblSensor", &QLabel::staticMetaObject},
        {form.lblUnits, "lblUnits", &QLabel::staticMetaObject},
        {form.lblCurrentData, "lblCurrentData", &QLabel::staticMetaObject},
        {form.lblSensorRange, "lblSensorRange", &QLabel::staticMetaObject},
        {form.lblSensorVoltage, "lblSensorVoltage", &QLabel::staticMetaObject},
        {form.lblLow, "lblLow", &QLabel::staticMetaObject},
        {form.lblHigh, "lblHigh", &QLabel::staticMetaObject},
        {form.Timer1, "Timer1", &QTimer::staticMetaObject},
    };
    for (const Named& c : controls) {
        ASSERT_NE(c.member, nullptr) << c.name;
        EXPECT_EQ(form.findChildren<QObject*>(c.name).size(), 1) << c.name;
        EXPECT_EQ(form.findChild<QObject*>(c.name), c.member) << c.name;
        EXPECT_TRUE(c.member->metaObject()->inherits(c.kind)) << c.name;
        if (auto* widget = qobject_cast<QWidget*>(c.member)) {
            EXPECT_EQ(widget->accessibleDescription(), c.name);
        }
    }
    EXPECT_FALSE(form.cboChannelNumber->isEditable());

    const std::pair<QLabel*, const char*> captions[] = {
        {form.lblChannelNumber, "Channel Number"},
        {form.lblSensor, "Sensor Selection"},
        {form.lblUnits, "Units"},
        {form.lblCurrentData, "Current Data:"},
        {form.lblSensorRange, "Sensor Range"},
        {form.lblSensorVoltage, "Sensor Voltage"},
        {form.lblLow, "Low:"},
        {form.lblHigh, "High:"},
    };
    for (const auto& [lbl, caption] : captions)
        EXPECT_EQ(lbl->text(), caption);
    EXPECT_EQ(form.Frame2->title(), " Calibration Setpoints ");
    EXPECT_EQ(form.Line1->frameShape(), QFrame::HLine);

    EXPECT_EQ(form.cmdAccept->text(), "Accept");
    EXPECT_EQ(form.cmdPrevChannel->text(), "Previous &Channel");
    EXPECT_EQ(form.cmdPrevChannel->toolTip(), "Displays previous channel data.");
    EXPECT_EQ(form.cmdNextChannel->text(), "   &Next   Channel");
    EXPECT_EQ(form.cmdNextChannel->toolTip(), "Displays the next channels data.");
    EXPECT_EQ(form.cmdCancel->text(), "&Exit");
    EXPECT_EQ(form.cmdCancel->toolTip(), "Cancels Programming.");
    EXPECT_EQ(form.cmdAbout->text(), "Info");

    for (platform::MaskEdBox* volts : {form.medSensorLoVolts, form.medSensorHiVolts}) {
        EXPECT_EQ(volts->Mask(), "#.###");
        EXPECT_EQ(volts->maxLength(), 5);
        EXPECT_EQ(volts->Text(), "_.___");
    }

    const QFont font = form.cboAnalogData->font();
    EXPECT_EQ(font.pointSize(), 9);
    EXPECT_EQ(font.families().value(0), "Terminal");
    // Whatever family stands in for "Terminal", every character has the same advance.
    const QFontMetrics metrics(font);
    EXPECT_EQ(metrics.horizontalAdvance("iiiii"), metrics.horizontalAdvance("WWWWW"))
        << qPrintable(QFontInfo(font).family());
}

TEST_F(WorkbenchFormTest, CaptionlessFieldsHaveUniqueSpokenNamesAndCaptionsSpeakTheirText) {
    const std::pair<QWidget*, const char*> fields[] = {
        {form.cboChannelNumber, "Channel number"},
        {form.cboSensor, "Sensor type"},
        {form.cboRange, "Sensor unit"},
        {form.cboAnalogData, "Current data"},
        {form.medSensorRangeLo, "Sensor range, low"},
        {form.medSensorRangeHi, "Sensor range, high"},
        {form.medSensorLoVolts, "Sensor voltage, low"},
        {form.medSensorHiVolts, "Sensor voltage, high"},
    };
    QStringList spokenOnForm;
    QStringList namesOnForm;
    for (QWidget* widget : form.findChildren<QWidget*>()) {
        spokenOnForm << spokenName(widget);
        namesOnForm << widget->accessibleName();
    }
    for (const auto& [field, name] : fields) {
        EXPECT_EQ(field->accessibleName(), name);
        EXPECT_EQ(namesOnForm.count(name), 1) << name;
        // The combo box reports its current item as its name on some platforms and leaves the
        // name to its label; every text field speaks its own name.
        if (field == form.cboChannelNumber)
            continue;
        EXPECT_EQ(spokenName(field), name);
        EXPECT_EQ(spokenOnForm.count(name), 1) << name;
    }

    // Labels and buttons speak what they show, without the access-key marker.
    EXPECT_EQ(spokenName(form.lblChannelNumber), "Channel Number");
    EXPECT_EQ(spokenName(form.lblCurrentData), "Current Data:");
    EXPECT_EQ(spokenName(form.cmdCancel), "Exit");
    EXPECT_EQ(spokenName(form.cmdPrevChannel), "Previous Channel");
    EXPECT_EQ(spokenName(form.cmdNextChannel), "   Next   Channel");
    for (QWidget* w : std::initializer_list<QWidget*>{form.lblChannelNumber, form.lblHigh,
                                                      form.cmdAccept, form.cmdCancel})
        EXPECT_TRUE(w->accessibleName().isEmpty()) << qPrintable(w->objectName());
}

TEST_F(WorkbenchFormTest, TabOrderRunsThroughTheThirteenControls) {
    const QStringList expected = {
        "cboChannelNumber", "cboSensor",        "cboRange",         "cboAnalogData",
        "medSensorRangeLo", "medSensorLoVolts", "medSensorRangeHi", "medSensorHiVolts",
        "cmdAccept",        "cmdAbout",         "cmdPrevChannel",   "cmdNextChannel",
        "cmdCancel",
    };
    QStringList chain;
    QWidget* w = form.cboChannelNumber;
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w != form.cboChannelNumber && chain.size() <= expected.size());
    EXPECT_EQ(chain, expected);

    // The operator's Tab skips the two disabled fields.
    showWithFocusIn(form.cboChannelNumber);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form.cboAnalogData);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form.medSensorLoVolts);
}

TEST_F(WorkbenchFormTest, FormLoadListsTheChannelsAndSelectsThirtyWithoutLoading) {
    QStringList items;
    for (int i = 0; i < form.cboChannelNumber->count(); ++i)
        items << form.cboChannelNumber->itemText(i);
    EXPECT_EQ(items, QStringList({"30", "31", "32", "33", "34", "35", "36", "37", "40", "41", "42",
                                  "43", "44", "45"}));
    EXPECT_EQ(form.cboChannelNumber->currentText(), "30");
    EXPECT_EQ(form.iChannelButton, 0);
    EXPECT_FALSE(form.cboSensor->isEnabled());
    EXPECT_FALSE(form.cboRange->isEnabled());
    EXPECT_TRUE(form.cboAnalogData->isEnabled());
    EXPECT_TRUE(form.cboSensor->isReadOnly());
    EXPECT_TRUE(form.cboRange->isReadOnly());
    EXPECT_TRUE(form.cboAnalogData->isReadOnly());
    EXPECT_EQ(form.cboAnalogData->text(), "");
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_EQ(form.Timer1->interval(), 1000);
    EXPECT_FALSE(form.Timer1->isSingleShot());
    EXPECT_FALSE(Module1::vChannelIndex.has_value());

    // Run again on a list that already holds a selection: the list reports exactly one
    // selection, channel 30, and reports it while the program-set flag is up.
    form.cboChannelNumber->setCurrentText("43");
    form.cboAnalogData->setText("+012.3");
    QList<std::pair<int, int>> seen;
    QObject::connect(form.cboChannelNumber, &QComboBox::currentIndexChanged, &form, [&](int index) {
        seen.append({index, form.iChannelButton});
    });
    form.Form_Load();
    EXPECT_EQ(seen, (QList<std::pair<int, int>>{{0, 1}}));
    EXPECT_EQ(form.iChannelButton, 0);
    EXPECT_EQ(form.cboChannelNumber->count(), 14);
    EXPECT_EQ(form.cboAnalogData->text(), "");
}

TEST_F(WorkbenchFormTest, FormSitsInTheMiddleOfTheWorkArea) {
    const QRect work = form.screen()->availableGeometry();
    const int leftGap = form.x() - work.left();
    const int rightGap = work.right() - (form.x() + form.width() - 1);
    const int topGap = form.y() - work.top();
    const int bottomGap = work.bottom() - (form.y() + form.height() - 1);
    EXPECT_GE(rightGap - leftGap, 0);
    EXPECT_LE(rightGap - leftGap, 1);
    EXPECT_GE(bottomGap - topGap, 0);
    EXPECT_LE(bottomGap - topGap, 1);
}

TEST_F(WorkbenchFormTest, EscPressesExitAndLeavesTheWindowOpen) {
    harness.boxes.answers = {platform::vbNo, platform::vbNo, platform::vbNo};
    QSignalSpy exitClicks(form.cmdCancel, &QPushButton::clicked);
    QSignalSpy rejected(&form, &QDialog::rejected);
    for (QWidget* focus : std::initializer_list<QWidget*>{form.medSensorRangeLo,
                                                          form.cboChannelNumber, form.cmdAccept}) {
        showWithFocusIn(focus);
        QTest::keyClick(focus, Qt::Key_Escape);
    }
    EXPECT_EQ(exitClicks.count(), 3);
    EXPECT_EQ(rejected.count(), 0);
    EXPECT_TRUE(form.isVisible());

    // A disabled Exit button is not pressed by Esc either.
    form.cmdCancel->setEnabled(false);
    QTest::keyClick(form.medSensorRangeLo, Qt::Key_Escape);
    EXPECT_EQ(exitClicks.count(), 3);
    EXPECT_TRUE(form.isVisible());
}

TEST_F(WorkbenchFormTest, EnterInAFieldPressesNoButton) {
    QSignalSpy acceptClicks(form.cmdAccept, &QPushButton::clicked);
    QSignalSpy exitClicks(form.cmdCancel, &QPushButton::clicked);
    QSignalSpy accepted(&form, &QDialog::accepted);
    for (QPushButton* b : form.findChildren<QPushButton*>()) {
        EXPECT_FALSE(b->autoDefault()) << qPrintable(b->objectName());
        EXPECT_FALSE(b->isDefault()) << qPrintable(b->objectName());
    }
    showWithFocusIn(form.medSensorHiVolts);
    QTest::keyClick(form.medSensorHiVolts, Qt::Key_Return);
    QTest::keyClick(form.medSensorHiVolts, Qt::Key_Enter);
    EXPECT_EQ(acceptClicks.count(), 0);
    EXPECT_EQ(exitClicks.count(), 0);
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_TRUE(form.isVisible());
}

// The colour painted in the empty right end of a field.
QColor paintedBackground(QWidget* field) {
    const QImage image = field->grab().toImage();
    return image.pixelColor(image.width() - 6, image.height() / 2);
}

TEST_F(WorkbenchFormTest, VoltageFieldsTurnGreyForADegChannelAndBackForAPressureChannel) {
    const QColor window = QApplication::palette().color(QPalette::Active, QPalette::Base);
    const QColor grey = QApplication::palette().color(QPalette::Inactive, QPalette::Window);
    ASSERT_NE(window, grey);
    form.show();
    QApplication::processEvents();

    showCode("90");
    for (platform::MaskEdBox* volts : {form.medSensorLoVolts, form.medSensorHiVolts}) {
        EXPECT_FALSE(volts->isEnabled());
        EXPECT_EQ(paintedBackground(volts).rgb(), grey.rgb()) << qPrintable(volts->objectName());
    }
    // The range fields are never greyed.
    EXPECT_TRUE(form.medSensorRangeLo->isEnabled());
    EXPECT_EQ(paintedBackground(form.medSensorRangeLo).rgb(), window.rgb());

    showCode("32");
    for (platform::MaskEdBox* volts : {form.medSensorLoVolts, form.medSensorHiVolts}) {
        EXPECT_TRUE(volts->isEnabled());
        EXPECT_EQ(paintedBackground(volts).rgb(), window.rgb()) << qPrintable(volts->objectName());
    }
}

} // namespace
