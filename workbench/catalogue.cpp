// The sensor catalogue of the workbench: what a channel's setup code means on screen, and the
// defaults its sensor type and unit set.
#include "platform/widgets/masked_edit.h"
#include "records/channel_table.h"
#include "shell/module1.h"
#include "workbench/frm_calibrate_sensor.h"

#include <QApplication>
#include <QColor>
#include <QLineEdit>
#include <QPalette>
#include <QStringView>

#include <array>

namespace workbench {

namespace {

// Sensor types by the first character of the setup code. Each sets the type text; the pressure
// types also set the default high range value. The two temperature types ("Deg") have fixed
// voltages of their own, and their voltage fields only show them.
struct SensorType {
    QChar digit;
    QStringView text;
    bool setsRangeHi;
    float rangeHi;
    bool fixedVoltages;
    double loVolts;
    double hiVolts;
};

constexpr std::array<SensorType, 10> kSensorTypes = {{
    {u'0', u"0 - 50", true, 50.0f, false, 0.5, 4.5},
    {u'1', u"0 - 100", true, 100.0f, false, 0.5, 4.5},
    {u'2', u"0 - 300", true, 300.0f, false, 0.5, 4.5},
    {u'3', u"0 - 500", true, 500.0f, false, 0.5, 4.5},
    {u'4', u"0 - 1000", true, 1000.0f, false, 0.5, 4.5},
    {u'5', u"0 - 2000", true, 2000.0f, false, 0.5, 4.5},
    {u'6', u"0 - 5000", true, 5000.0f, false, 0.5, 4.5},
    {u'7', u"NONE", true, 50.0f, false, 0.5, 4.5},
    {u'8', u"Deg1 Type", false, 0.0f, true, 0.05, 3.0},
    {u'9', u"Deg2 Type", false, 0.0f, true, 1.32, 3.62},
}};

// Units by the last character of the setup code. The two temperature units set both default
// range values: the wide span belongs to the "Deg2 Type" sensor, every other type gets the
// narrow one. The spans are the same in both scales (5 to 300 F is -15 to 148.8 C, -40 to
// 572 F is -40 to 300 C). The other units keep the low value 0 and the type's high value.
struct Unit {
    QChar digit;
    QStringView text;
    bool temperature;
    double narrowLo;
    float narrowHi;
    double wideLo;
    float wideHi;
};

constexpr std::array<Unit, 9> kUnits = {{
    {u'0', u"Fahrenheit", true, 5.0, 300.0f, -40.0, 572.0f},
    {u'1', u"Celsius", true, -15.0, 148.8f, -40.0, 300.0f},
    {u'2', u"PSIG", false, 0.0, 0.0f, 0.0, 0.0f},
    {u'3', u"KPa", false, 0.0, 0.0f, 0.0, 0.0f},
    {u'4', u"RPM", false, 0.0, 0.0f, 0.0, 0.0f},
    {u'5', u"Hg.", false, 0.0, 0.0f, 0.0, 0.0f},
    {u'6', u"BAR", false, 0.0, 0.0f, 0.0, 0.0f},
    {u'7', u"NONE", false, 0.0, 0.0f, 0.0, 0.0f},
    {u'8', u"PSIA", false, 0.0, 0.0f, 0.0, 0.0f},
}};

constexpr QStringView kWideSpanType = u"Deg2 Type";

template <typename Row, std::size_t N>
const Row* rowFor(const std::array<Row, N>& table, const QString& character) {
    if (character.size() != 1)
        return nullptr;
    for (const Row& row : table) {
        if (row.digit == character.front())
            return &row;
    }
    return nullptr;
}

// Background of an editable voltage field: the system colour for window backgrounds, which the
// application palette holds as the base colour of text fields.
QColor windowBackgroundColour() {
    return QApplication::palette().color(QPalette::Active, QPalette::Base);
}

// Background of a fixed voltage field: the system colour for inactive window borders. The
// palette has no border role of its own; the window colour of the inactive group is the grey
// that stands for it.
QColor inactiveBorderColour() {
    return QApplication::palette().color(QPalette::Inactive, QPalette::Window);
}

// Enabled state and background colour of a voltage field. The colour goes into every colour
// group, so the field shows it whether it is enabled or not.
void setVoltageField(platform::MaskEdBox& field, bool enabled, const QColor& background) {
    field.setEnabled(enabled);
    QPalette palette = field.palette();
    palette.setColor(QPalette::Base, background);
    field.setPalette(palette);
}

} // namespace

void frmCalibrateSensor::GetSensorData() {
    // Only a channel load calls this, right after it has set the channel index from the
    // channel list. Without a channel on display there is no setup code to show.
    const std::optional<int> index = Module1::vChannelIndex;
    if (!index || !records::channelByIndex(*index))
        return;
    const QString& setupCode =
        Module1::sChannelSetup[static_cast<std::size_t>(*index - records::kFirstChannelIndex)][1];

    m_defaults = SensorDefaults{.rangeLo = 0.0, .loVolts = 0.5, .hiVolts = 4.5};
    setVoltageField(*medSensorLoVolts, true, windowBackgroundColour());
    setVoltageField(*medSensorHiVolts, true, windowBackgroundColour());

    // A type code of 10 or more makes the setup code longer; its first character still decides.
    if (const SensorType* type = rowFor(kSensorTypes, setupCode.left(1))) {
        cboSensor->setText(type->text.toString());
        if (type->setsRangeHi)
            Module1::sngSensorRangeHi = type->rangeHi;
        if (type->fixedVoltages) {
            m_defaults.loVolts = type->loVolts;
            m_defaults.hiVolts = type->hiVolts;
            setVoltageField(*medSensorLoVolts, false, inactiveBorderColour());
            setVoltageField(*medSensorHiVolts, false, inactiveBorderColour());
        }
    }

    if (const Unit* unit = rowFor(kUnits, setupCode.right(1))) {
        cboRange->setText(unit->text.toString());
        if (unit->temperature) {
            // The span follows the type text just shown, not the type code.
            const bool wide = cboSensor->text() == kWideSpanType;
            m_defaults.rangeLo = wide ? unit->wideLo : unit->narrowLo;
            Module1::sngSensorRangeHi = wide ? unit->wideHi : unit->narrowHi;
        }
    }

    repaint();
}

} // namespace workbench
