// The sensor catalogue on the workbench: setup codes turned into the shown sensor type and unit,
// the default range values and voltages and the state of the voltage fields.
#include "form_controls.h"
#include "platform/widgets/masked_edit.h"
#include "shell/module1.h"
#include "workbench/frm_calibrate_sensor.h"
#include "workbench_harness.h"

#include <QApplication>
#include <QLineEdit>
#include <QPalette>
#include <gtest/gtest.h>

#include <optional>

using workbench::frmCalibrateSensor;

namespace {

struct Shown {
    const char* code;
    const char* sensor;
    const char* unit;
    double rangeLo;
    float rangeHi;
    double loVolts;
    double hiVolts;
    bool editable;
};

class CatalogueTest : public ::testing::Test {
  protected:
    void SetUp() override { testsupport::resetProgramState(); }
    void TearDown() override { testsupport::resetProgramState(); }

    // Shows the setup code as a channel load does: the channel index and its setup code are set,
    // the two texts cleared, then the code is turned into the display.
    void showCode(const QString& code, int channelIndex = 16) {
        Module1::vChannelIndex = channelIndex;
        Module1::sChannelSetup[static_cast<std::size_t>(channelIndex - 16)][1] = code;
        ui.cboSensor->setText(QString());
        ui.cboRange->setText(QString());
        form.GetSensorData();
    }

    bool voltsEditable() const {
        return ui.medSensorLoVolts->isEnabled() && ui.medSensorHiVolts->isEnabled();
    }

    void expectShown(const Shown& e) const {
        EXPECT_EQ(ui.cboSensor->text(), e.sensor);
        EXPECT_EQ(ui.cboRange->text(), e.unit);
        EXPECT_DOUBLE_EQ(form.sensorDefaults().rangeLo, e.rangeLo);
        EXPECT_FLOAT_EQ(Module1::sngSensorRangeHi, e.rangeHi);
        EXPECT_DOUBLE_EQ(form.sensorDefaults().loVolts, e.loVolts);
        EXPECT_DOUBLE_EQ(form.sensorDefaults().hiVolts, e.hiVolts);
        // Editable: enabled on the window background; fixed: disabled on the inactive grey.
        const QColor background =
            e.editable ? QApplication::palette().color(QPalette::Active, QPalette::Base)
                       : QApplication::palette().color(QPalette::Inactive, QPalette::Window);
        for (const platform::MaskEdBox* volts : {ui.medSensorLoVolts, ui.medSensorHiVolts}) {
            EXPECT_EQ(volts->isEnabled(), e.editable) << qPrintable(volts->objectName());
            for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                EXPECT_EQ(volts->palette().color(group, QPalette::Base), background)
                    << qPrintable(volts->objectName()) << " group " << group;
        }
    }

    testsupport::WorkbenchHarness harness;
    frmCalibrateSensor form;
    testsupport::WorkbenchControls ui{form};
};

TEST_F(CatalogueTest, EveryTypeDigitWithAPressureUnit) {
    const Shown cases[] = {
        {"02", "0 - 50", "PSIG", 0, 50, 0.5, 4.5, true},
        {"12", "0 - 100", "PSIG", 0, 100, 0.5, 4.5, true},
        {"22", "0 - 300", "PSIG", 0, 300, 0.5, 4.5, true},
        {"32", "0 - 500", "PSIG", 0, 500, 0.5, 4.5, true},
        {"42", "0 - 1000", "PSIG", 0, 1000, 0.5, 4.5, true},
        {"52", "0 - 2000", "PSIG", 0, 2000, 0.5, 4.5, true},
        {"62", "0 - 5000", "PSIG", 0, 5000, 0.5, 4.5, true},
        {"72", "NONE", "PSIG", 0, 50, 0.5, 4.5, true},
        // The temperature types set no high value: it stays at the sentinel.
        {"82", "Deg1 Type", "PSIG", 0, 777.5f, 0.05, 3.0, false},
        {"92", "Deg2 Type", "PSIG", 0, 777.5f, 1.32, 3.62, false},
    };
    for (const Shown& e : cases) {
        SCOPED_TRACE(e.code);
        Module1::sngSensorRangeHi = 777.5f;
        showCode(e.code);
        expectShown(e);
    }
}

TEST_F(CatalogueTest, EveryUnitDigitWithAPressureType) {
    const Shown cases[] = {
        {"30", "0 - 500", "Fahrenheit", 5, 300, 0.5, 4.5, true},
        {"31", "0 - 500", "Celsius", -15, 148.8f, 0.5, 4.5, true},
        {"32", "0 - 500", "PSIG", 0, 500, 0.5, 4.5, true},
        {"33", "0 - 500", "KPa", 0, 500, 0.5, 4.5, true},
        {"34", "0 - 500", "RPM", 0, 500, 0.5, 4.5, true},
        {"35", "0 - 500", "Hg.", 0, 500, 0.5, 4.5, true},
        {"36", "0 - 500", "BAR", 0, 500, 0.5, 4.5, true},
        {"37", "0 - 500", "NONE", 0, 500, 0.5, 4.5, true},
        {"38", "0 - 500", "PSIA", 0, 500, 0.5, 4.5, true},
        // Unit codes 9 to 15 are not in the catalogue: no unit text, the type's values stand.
        {"39", "0 - 500", "", 0, 500, 0.5, 4.5, true},
    };
    for (const Shown& e : cases) {
        SCOPED_TRACE(e.code);
        showCode(e.code);
        expectShown(e);
    }
}

TEST_F(CatalogueTest, TemperatureSpansFollowTheShownType) {
    const Shown cases[] = {
        {"13", "0 - 100", "KPa", 0, 100, 0.5, 4.5, true},
        {"90", "Deg2 Type", "Fahrenheit", -40, 572, 1.32, 3.62, false},
        {"91", "Deg2 Type", "Celsius", -40, 300, 1.32, 3.62, false},
        {"80", "Deg1 Type", "Fahrenheit", 5, 300, 0.05, 3.0, false},
        {"81", "Deg1 Type", "Celsius", -15, 148.8f, 0.05, 3.0, false},
        // A Celsius unit overrides the high value of a pressure type.
        {"01", "0 - 50", "Celsius", -15, 148.8f, 0.5, 4.5, true},
        // What a failed read produces.
        {"00", "0 - 50", "Fahrenheit", 5, 300, 0.5, 4.5, true},
    };
    for (const Shown& e : cases) {
        SCOPED_TRACE(e.code);
        showCode(e.code);
        expectShown(e);
    }
}

TEST_F(CatalogueTest, Deg1WithAPressureUnitKeepsThePreviousChannelsHighValue) {
    showCode("13", 16);
    ASSERT_FLOAT_EQ(Module1::sngSensorRangeHi, 100.0f);
    showCode("82", 17);
    EXPECT_EQ(ui.cboSensor->text(), "Deg1 Type");
    EXPECT_EQ(ui.cboRange->text(), "PSIG");
    EXPECT_FLOAT_EQ(Module1::sngSensorRangeHi, 100.0f);
    EXPECT_DOUBLE_EQ(form.sensorDefaults().rangeLo, 0.0);
    EXPECT_DOUBLE_EQ(form.sensorDefaults().loVolts, 0.05);
    EXPECT_DOUBLE_EQ(form.sensorDefaults().hiVolts, 3.0);
}

TEST_F(CatalogueTest, LongCodesTakeTheTypeFromTheFirstAndTheUnitFromTheLastCharacter) {
    const Shown cases[] = {
        // Type 10, unit 2.
        {"102", "0 - 100", "PSIG", 0, 100, 0.5, 4.5, true},
        // Type 0, unit 10: the unit reads as its last digit.
        {"010", "0 - 50", "Fahrenheit", 5, 300, 0.5, 4.5, true},
        // Type 15, unit 15.
        {"1515", "0 - 100", "Hg.", 0, 100, 0.5, 4.5, true},
        // Type 11, unit 1: a "1" first stands for "0 - 100", never for a Deg type.
        {"111", "0 - 100", "Celsius", -15, 148.8f, 0.5, 4.5, true},
    };
    for (const Shown& e : cases) {
        SCOPED_TRACE(e.code);
        showCode(e.code);
        expectShown(e);
    }
}

TEST_F(CatalogueTest, AnEmptyCodeShowsNothingAndResetsOnlyTheDefaults) {
    showCode("90");
    Module1::sngSensorRangeHi = 42.0f;
    showCode("");
    EXPECT_EQ(ui.cboSensor->text(), "");
    EXPECT_EQ(ui.cboRange->text(), "");
    EXPECT_DOUBLE_EQ(form.sensorDefaults().rangeLo, 0.0);
    EXPECT_FLOAT_EQ(Module1::sngSensorRangeHi, 42.0f);
    EXPECT_DOUBLE_EQ(form.sensorDefaults().loVolts, 0.5);
    EXPECT_DOUBLE_EQ(form.sensorDefaults().hiVolts, 4.5);
    EXPECT_TRUE(voltsEditable());
}

TEST_F(CatalogueTest, ReadsTheSetupCodeOfTheChannelOnDisplay) {
    Module1::sChannelSetup[0][1] = "13";
    Module1::sChannelSetup[12][1] = "81";
    Module1::sChannelSetup[14][1] = "02";
    showCode("90", 29);
    EXPECT_EQ(ui.cboSensor->text(), "Deg2 Type");
    EXPECT_EQ(ui.cboRange->text(), "Fahrenheit");
    showCode("13", 16);
    EXPECT_EQ(ui.cboRange->text(), "KPa");
}

TEST_F(CatalogueTest, WithoutAChannelOnDisplayNothingChanges) {
    // A "Deg2 Type" channel shown first leaves defaults and fixed voltage fields that a run
    // of the catalogue would reset.
    showCode("90");
    ASSERT_DOUBLE_EQ(form.sensorDefaults().loVolts, 1.32);
    ASSERT_DOUBLE_EQ(form.sensorDefaults().rangeLo, -40.0);
    ASSERT_FALSE(voltsEditable());
    Module1::sngSensorRangeHi = 42.0f;
    ui.cboSensor->setText("previous");
    for (std::optional<int> index : {std::optional<int>(), std::optional<int>(15),
                                     std::optional<int>(30), std::optional<int>(0)}) {
        Module1::vChannelIndex = index;
        form.GetSensorData();
        EXPECT_EQ(ui.cboSensor->text(), "previous");
        EXPECT_DOUBLE_EQ(form.sensorDefaults().loVolts, 1.32);
        EXPECT_DOUBLE_EQ(form.sensorDefaults().rangeLo, -40.0);
        EXPECT_FLOAT_EQ(Module1::sngSensorRangeHi, 42.0f);
        EXPECT_FALSE(voltsEditable());
    }
}

} // namespace
