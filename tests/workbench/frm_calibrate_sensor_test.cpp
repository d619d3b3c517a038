// The workbench window as built: its controls with names, captions, tool tips and spoken names,
// the tab order, the state Form_Load leaves, the keyboard (Esc presses Exit, Enter presses
// nothing), and the voltage fields as they are painted for a temperature and a pressure sensor.
#include "form_controls.h"
#include "platform/widgets/masked_edit.h"
#include "records/channel_table.h"
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
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <map>

using workbench::frmCalibrateSensor;

namespace {

class WorkbenchFormTest : public ::testing::Test {
  protected:
    void SetUp() override { testsupport::resetProgramState(); }
    void TearDown() override { testsupport::resetProgramState(); }

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
    testsupport::WorkbenchControls ui{form};
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
        {ui.Frame3, "Frame3", &QFrame::staticMetaObject},
        {ui.Frame1, "Frame1", &QFrame::staticMetaObject},
        {ui.Frame2, "Frame2", &QGroupBox::staticMetaObject},
        {ui.Line1, "Line1", &QFrame::staticMetaObject},
        {ui.cboChannelNumber, "cboChannelNumber", &QComboBox::staticMetaObject},
        {ui.cboSensor, "cboSensor", &QLineEdit::staticMetaObject},
        {ui.cboRange, "cboRange", &QLineEdit::staticMetaObject},
        {ui.cboAnalogData, "cboAnalogData", &QLineEdit::staticMetaObject},
        {ui.medSensorRangeLo, "medSensorRangeLo", &platform::MaskEdBox::staticMetaObject},
        {ui.medSensorRangeHi, "medSensorRangeHi", &platform::MaskEdBox::staticMetaObject},
        {ui.medSensorLoVolts, "medSensorLoVolts", &platform::MaskEdBox::staticMetaObject},
        {ui.medSensorHiVolts, "medSensorHiVolts", &platform::MaskEdBox::staticMetaObject},
        {ui.cmdAccept, "cmdAccept", &QPushButton::staticMetaObject},
        {ui.cmdPrevChannel, "cmdPrevChannel", &QPushButton::staticMetaObject},
        {ui.cmdNextChannel, "cmdNextChannel", &QPushButton::staticMetaObject},
        {ui.cmdCancel, "cmdCancel", &QPushButton::staticMetaObject},
        {ui.cmdAbout, "cmdAbout", &QPushButton::staticMetaObject},
        {ui.lblChannelNumber, "lblChannelNumber", &QLabel::staticMetaObject},
        {ui.lblSensor, "lblSensor", &QLabel::staticMetaObject},
        {ui.lblUnits, "lblUnits", &QLabel::staticMetaObject},
        {ui.lblCurrentData, "lblCurrentData", &QLabel::staticMetaObject},
        {ui.lblSensorRange, "lblSensorRange", &QLabel::staticMetaObject},
        {ui.lblSensorVoltage, "lblSensorVoltage", &QLabel::staticMetaObject},
        {ui.lblLow, "lblLow", &QLabel::staticMetaObject},
        {ui.lblHigh, "lblHigh", &QLabel::staticMetaObject},
        {ui.Timer1, "Timer1", &QTimer::staticMetaObject},
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
    EXPECT_FALSE(ui.cboChannelNumber->isEditable());

    const std::pair<QLabel*, const char*> captions[] = {
        {ui.lblChannelNumber, "Channel Number"},
        {ui.lblSensor, "Sensor Selection"},
        {ui.lblUnits, "Units"},
        {ui.lblCurrentData, "Current Data:"},
        {ui.lblSensorRange, "Sensor Range"},
        {ui.lblSensorVoltage, "Sensor Voltage"},
        {ui.lblLow, "Low:"},
        {ui.lblHigh, "High:"},
    };
    for (const auto& [lbl, caption] : captions)
        EXPECT_EQ(lbl->text(), caption);
    EXPECT_EQ(ui.Frame2->title(), " Calibration Setpoints ");
    EXPECT_EQ(ui.Line1->frameShape(), QFrame::HLine);

    EXPECT_EQ(ui.cmdAccept->text(), "Accept");
    EXPECT_EQ(ui.cmdPrevChannel->text(), "Previous &Channel");
    EXPECT_EQ(ui.cmdPrevChannel->toolTip(), "Displays previous channel data.");
    EXPECT_EQ(ui.cmdNextChannel->text(), "   &Next   Channel");
    EXPECT_EQ(ui.cmdNextChannel->toolTip(), "Displays the next channels data.");
    EXPECT_EQ(ui.cmdCancel->text(), "&Exit");
    EXPECT_EQ(ui.cmdCancel->toolTip(), "Cancels Programming.");
    EXPECT_EQ(ui.cmdAbout->text(), "Info");

    for (platform::MaskEdBox* volts : {ui.medSensorLoVolts, ui.medSensorHiVolts}) {
        EXPECT_EQ(volts->Mask(), "#.###");
        EXPECT_EQ(volts->maxLength(), 5);
        EXPECT_EQ(volts->Text(), "_.___");
    }

    const QFont font = ui.cboAnalogData->font();
    EXPECT_EQ(font.pointSize(), 9);
    EXPECT_EQ(font.families().value(0), "Terminal");
    // Whatever family stands in for "Terminal", every character has the same advance.
    const QFontMetrics metrics(font);
    EXPECT_EQ(metrics.horizontalAdvance("iiiii"), metrics.horizontalAdvance("WWWWW"))
        << qPrintable(QFontInfo(font).family());
}

TEST_F(WorkbenchFormTest, CaptionlessFieldsHaveUniqueSpokenNamesAndCaptionsSpeakTheirText) {
    const std::pair<QWidget*, const char*> fields[] = {
        {ui.cboChannelNumber, "Channel number"},
        {ui.cboSensor, "Sensor type"},
        {ui.cboRange, "Sensor unit"},
        {ui.cboAnalogData, "Current data"},
        {ui.medSensorRangeLo, "Sensor range, low"},
        {ui.medSensorRangeHi, "Sensor range, high"},
        {ui.medSensorLoVolts, "Sensor voltage, low"},
        {ui.medSensorHiVolts, "Sensor voltage, high"},
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
        if (field == ui.cboChannelNumber)
            continue;
        EXPECT_EQ(spokenName(field), name);
        EXPECT_EQ(spokenOnForm.count(name), 1) << name;
    }

    // Labels and buttons speak what they show, without the access-key marker.
    EXPECT_EQ(spokenName(ui.lblChannelNumber), "Channel Number");
    EXPECT_EQ(spokenName(ui.lblCurrentData), "Current Data:");
    EXPECT_EQ(spokenName(ui.cmdCancel), "Exit");
    EXPECT_EQ(spokenName(ui.cmdPrevChannel), "Previous Channel");
    EXPECT_EQ(spokenName(ui.cmdNextChannel), "   Next   Channel");
    for (QWidget* w : std::initializer_list<QWidget*>{ui.lblChannelNumber, ui.lblHigh, ui.cmdAccept,
                                                      ui.cmdCancel})
        EXPECT_TRUE(w->accessibleName().isEmpty()) << qPrintable(w->objectName());
}

TEST_F(WorkbenchFormTest, TheTestButtonsBesideAcceptMoveNoOtherControl) {
    // Every control's place in the window and its size, with Job and Verify there and
    // without them: the same, and the window keeps its size.
    form.show();
    const auto places = [&] {
        std::map<QString, QRect> at;
        for (QWidget* w : form.findChildren<QWidget*>())
            if (!w->objectName().isEmpty() && w->isVisible())
                at[w->objectName()] = QRect(w->mapTo(&form, QPoint(0, 0)), w->size());
        at[QStringLiteral("window")] = QRect(QPoint(0, 0), form.size());
        return at;
    };
    std::map<QString, QRect> with = places();
    auto* job = testsupport::control<QPushButton>(form, "cmdJob");
    auto* verify = testsupport::control<QPushButton>(form, "cmdVerify");
    ASSERT_TRUE(job && verify);
    job->hide();
    verify->hide();
    form.layout()->activate();
    QApplication::processEvents();
    const std::map<QString, QRect> without = places();
    ASSERT_EQ(with.erase(QStringLiteral("cmdJob")) + with.erase(QStringLiteral("cmdVerify")), 2u);
    EXPECT_EQ(with, without);
    // Side by side with Accept, as wide as each other, on its row.
    job->show();
    verify->show();
    form.layout()->activate();
    EXPECT_EQ(job->width(), verify->width());
    EXPECT_EQ(job->y(), ui.cmdAccept->y());
    EXPECT_LT(job->geometry().right(), ui.cmdAccept->x());
    EXPECT_GT(verify->x(), ui.cmdAccept->geometry().right());
}

TEST_F(WorkbenchFormTest, TabOrderRunsThroughTheFifteenControls) {
    const QStringList expected = {
        "cboChannelNumber", "cboSensor",        "cboRange",         "cboAnalogData",
        "medSensorRangeLo", "medSensorLoVolts", "medSensorRangeHi", "medSensorHiVolts",
        "cmdAccept",        "cmdVerify",        "cmdJob",           "cmdAbout",
        "cmdPrevChannel",   "cmdNextChannel",   "cmdCancel",
    };
    QStringList chain;
    QWidget* w = ui.cboChannelNumber;
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w != ui.cboChannelNumber && chain.size() <= expected.size());
    EXPECT_EQ(chain, expected);

    // The operator's Tab skips the two disabled fields.
    showWithFocusIn(ui.cboChannelNumber);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), ui.cboAnalogData);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), ui.medSensorLoVolts);
}

TEST_F(WorkbenchFormTest, FormLoadListsTheChannelsAndSelectsThirtyWithoutLoading) {
    QStringList items;
    for (int i = 0; i < ui.cboChannelNumber->count(); ++i)
        items << ui.cboChannelNumber->itemText(i);
    EXPECT_EQ(items, QStringList({"30", "31", "32", "33", "34", "35", "36", "37", "40", "41", "42",
                                  "43", "44", "45"}));
    EXPECT_EQ(ui.cboChannelNumber->currentText(), "30");
    EXPECT_FALSE(ui.cboSensor->isEnabled());
    EXPECT_FALSE(ui.cboRange->isEnabled());
    EXPECT_TRUE(ui.cboAnalogData->isEnabled());
    EXPECT_TRUE(ui.cboSensor->isReadOnly());
    EXPECT_TRUE(ui.cboRange->isReadOnly());
    EXPECT_TRUE(ui.cboAnalogData->isReadOnly());
    EXPECT_EQ(ui.cboAnalogData->text(), "");
    EXPECT_TRUE(ui.Timer1->isActive());
    EXPECT_EQ(ui.Timer1->interval(), 1000);
    EXPECT_FALSE(ui.Timer1->isSingleShot());
    EXPECT_FALSE(Module1::vChannelIndex.has_value());

    EXPECT_TRUE(harness.commands().empty());

    // The program's own selection is over: the operator's pick loads the channel.
    ui.cboChannelNumber->setCurrentText("43");
    EXPECT_EQ(Module1::vChannelIndex, records::channelByListText("43")->index);

    // Run again on a list that already holds a selection: the list reports exactly one
    // selection, channel 30, and that selection loads nothing.
    harness.forget();
    ui.cboAnalogData->setText("+012.3");
    QList<std::pair<int, int>> seen;
    QObject::connect(ui.cboChannelNumber, &QComboBox::currentIndexChanged, &form, [&](int index) {
        seen.append({index, int(harness.commands().size())});
    });
    form.Form_Load();
    EXPECT_EQ(seen, (QList<std::pair<int, int>>{{0, 0}}));
    EXPECT_EQ(ui.cboChannelNumber->count(), 14);
    EXPECT_EQ(ui.cboAnalogData->text(), "");
    EXPECT_EQ(Module1::vChannelIndex, records::channelByListText("43")->index);

    // And once it is over, a pick loads again.
    ui.cboChannelNumber->setCurrentText("31");
    EXPECT_EQ(Module1::vChannelIndex, records::channelByListText("31")->index);
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
    QSignalSpy exitClicks(ui.cmdCancel, &QPushButton::clicked);
    QSignalSpy rejected(&form, &QDialog::rejected);
    for (QWidget* focus :
         std::initializer_list<QWidget*>{ui.medSensorRangeLo, ui.cboChannelNumber, ui.cmdAccept}) {
        showWithFocusIn(focus);
        QTest::keyClick(focus, Qt::Key_Escape);
    }
    EXPECT_EQ(exitClicks.count(), 3);
    EXPECT_EQ(rejected.count(), 0);
    EXPECT_TRUE(form.isVisible());

    // A disabled Exit button is not pressed by Esc either.
    ui.cmdCancel->setEnabled(false);
    QTest::keyClick(ui.medSensorRangeLo, Qt::Key_Escape);
    EXPECT_EQ(exitClicks.count(), 3);
    EXPECT_TRUE(form.isVisible());
}

TEST_F(WorkbenchFormTest, EnterInAFieldPressesNoButton) {
    QSignalSpy acceptClicks(ui.cmdAccept, &QPushButton::clicked);
    QSignalSpy exitClicks(ui.cmdCancel, &QPushButton::clicked);
    QSignalSpy accepted(&form, &QDialog::accepted);
    for (QPushButton* b : form.findChildren<QPushButton*>()) {
        EXPECT_FALSE(b->autoDefault()) << qPrintable(b->objectName());
        EXPECT_FALSE(b->isDefault()) << qPrintable(b->objectName());
    }
    showWithFocusIn(ui.medSensorHiVolts);
    QTest::keyClick(ui.medSensorHiVolts, Qt::Key_Return);
    QTest::keyClick(ui.medSensorHiVolts, Qt::Key_Enter);
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
    for (platform::MaskEdBox* volts : {ui.medSensorLoVolts, ui.medSensorHiVolts}) {
        EXPECT_FALSE(volts->isEnabled());
        EXPECT_EQ(paintedBackground(volts).rgb(), grey.rgb()) << qPrintable(volts->objectName());
    }
    // The range fields are never greyed.
    EXPECT_TRUE(ui.medSensorRangeLo->isEnabled());
    EXPECT_EQ(paintedBackground(ui.medSensorRangeLo).rgb(), window.rgb());

    showCode("32");
    for (platform::MaskEdBox* volts : {ui.medSensorLoVolts, ui.medSensorHiVolts}) {
        EXPECT_TRUE(volts->isEnabled());
        EXPECT_EQ(paintedBackground(volts).rgb(), window.rgb()) << qPrintable(volts->objectName());
    }
}

} // namespace
