// The four setpoint fields: what entering one prepares and what leaving it checks.
// Leaving a field checks its value against the limits of the channel on display; a wrong value
// is replaced by a valid one and the operator told, and the focus always moves on.
#include "workbench/frm_calibrate_sensor.h"

#include "codec/leading_value.h"
#include "codec/message_number.h"
#include "codec/number_text.h"
#include "codec/range_table.h"
#include "codec/setpoint_rules.h"
#include "platform/widgets/masked_edit.h"
#include "platform/widgets/message_box.h"
#include "shell/module1.h"
#include "workbench/range_format.h"

#include <QApplication>

#include <array>
#include <optional>

namespace workbench {

namespace {

const QString kVoltageMask = QStringLiteral("#.###");
const QString kVoltageFormat = QStringLiteral("0.000");
const QString kVoltageTitle = QStringLiteral("Error-Invalid Data");

// Mask first, then the text. The texts made here always fit the mask they come with; should
// one ever not, the field would refuse it and the new mask would have left it blank, so the
// field gets its previous mask and text back instead.
void setMaskAndText(platform::MaskEdBox& field, const QString& mask, const QString& text) {
    const QString previousMask = field.Mask();
    const QString previousText = field.Text();
    field.setMask(mask);
    if (!field.setText(text)) {
        field.setMask(previousMask);
        field.setText(previousText);
    }
}

void selectWholeText(platform::MaskEdBox& field) {
    field.setSelStart(0);
    field.setSelLength(int(field.Text().size()));
}

void showVoltageMessage(const QString& text) {
    platform::MsgBox(text, platform::vbOKOnly, kVoltageTitle);
}

// The one message of both range fields; it names the limits of the channel on display.
void showRangeMessage() {
    using namespace Module1;
    platform::MsgBox(codec::RangeLimitsMessage(vRangeMin, vRangeMax), platform::vbOKOnly,
                     QStringLiteral("Invalid Data"));
}

// Writes the corrected range value into its field in the channel's display form: signed fixed
// text first, then the channel's layout, the sign position going into the mask; the whole text
// is left selected.
void storeRangeValue(platform::MaskEdBox& field, float value) {
    using namespace Module1;
    sValueText = codec::NumberToFixedText(value, 6);
    SetRangeFormat(vEntryMask, vDisplayFormat, sValueText);
    setMaskAndText(field, vEntryMask, sValueText);
    selectWholeText(field);
}

// Refreshes the mask, format and limits of the channel on display before a range check:
// the voltage fields may have left their own mask and format in the shared state.
void refreshRangeLimits() {
    using namespace Module1;
    sValueText.clear();
    SetRangeFormat(vEntryMask, vDisplayFormat, sValueText);
}

// Prepares a voltage field for editing: whatever it holds, prompts included, is shown as a
// full voltage text, all of it selected.
void prepareVoltageField(platform::MaskEdBox& field) {
    using namespace Module1;
    // The text is read before the mask is set: setting the mask empties the field.
    sValueText = field.Text();
    vEntryMask = kVoltageMask;
    vDisplayFormat = kVoltageFormat;
    setMaskAndText(field, vEntryMask, codec::VoltageText(codec::LeadingValue(sValueText)));
    selectWholeText(field);
    sValueText.clear();
}

struct SetpointField {
    platform::MaskEdBox* field;
    void (frmCalibrateSensor::*gotFocus)();
    void (frmCalibrateSensor::*validate)(bool&);
};

// The setpoint field that `widget` is, with its two handlers; none for any other control.
std::optional<SetpointField> setpointFieldOf(const std::array<SetpointField, 4>& fields,
                                             const QWidget* widget) {
    if (widget == nullptr)
        return std::nullopt;
    for (const SetpointField& entry : fields) {
        if (entry.field == widget)
            return entry;
    }
    return std::nullopt;
}

} // namespace

void frmCalibrateSensor::connectSetpointFields() {
    // The focus also moves while the window is being taken down (it is hidden, its fields
    // deleted), after this class's part of it is gone and before the connection ends: the form
    // is then no longer a frmCalibrateSensor, and nothing is checked.
    QObject* const self = this;
    connect(qApp, &QApplication::focusChanged, this, [this, self](QWidget* old, QWidget* now) {
        if (qobject_cast<frmCalibrateSensor*>(self) != nullptr)
            onFocusChanged(old, now);
    });
}

void frmCalibrateSensor::onFocusChanged(QWidget* /*old*/, QWidget* now) {
    // The focus went to another application, a message box or another window: the operator
    // has not left the field for another control of this form, so nothing is checked.
    if (now == nullptr || now->window() != this)
        return;
    // Back from such a place into the field being edited.
    if (now == m_fieldBeingEdited)
        return;

    const std::array<SetpointField, 4> fields = {{
        {medSensorRangeLo, &frmCalibrateSensor::medSensorRangeLo_GotFocus,
         &frmCalibrateSensor::medSensorRangeLo_Validate},
        {medSensorLoVolts, &frmCalibrateSensor::medSensorLoVolts_GotFocus,
         &frmCalibrateSensor::medSensorLoVolts_Validate},
        {medSensorRangeHi, &frmCalibrateSensor::medSensorRangeHi_GotFocus,
         &frmCalibrateSensor::medSensorRangeHi_Validate},
        {medSensorHiVolts, &frmCalibrateSensor::medSensorHiVolts_GotFocus,
         &frmCalibrateSensor::medSensorHiVolts_Validate},
    }};
    const std::optional<SetpointField> left = setpointFieldOf(fields, m_fieldBeingEdited);
    const std::optional<SetpointField> entered = setpointFieldOf(fields, now);

    // Recorded before the check runs: the check's message box takes the focus and gives it back
    // to `now`, which then counts as the field already entered, not as a new move.
    m_fieldBeingEdited = entered ? now : nullptr;

    // The field left is checked first, then the one entered is prepared. Disabled fields (the
    // voltages of a temperature sensor) are neither checked nor prepared.
    if (left && left->field->isEnabled()) {
        bool cancel = false;
        (this->*left->validate)(cancel); // a check never holds the focus back
    }
    if (entered && entered->field->isEnabled())
        (this->*entered->gotFocus)();
}

void frmCalibrateSensor::medSensorHiVolts_GotFocus() {
    prepareVoltageField(*medSensorHiVolts);
}

void frmCalibrateSensor::medSensorLoVolts_GotFocus() {
    prepareVoltageField(*medSensorLoVolts);
}

void frmCalibrateSensor::medSensorRangeHi_GotFocus() {
    selectWholeText(*medSensorRangeHi);
}

void frmCalibrateSensor::medSensorRangeLo_GotFocus() {
    selectWholeText(*medSensorRangeLo);
}

void frmCalibrateSensor::medSensorHiVolts_Validate(bool& Cancel) {
    using namespace Module1;
    platform::MaskEdBox& field = *medSensorHiVolts;
    vEntryMask = kVoltageMask;
    vDisplayFormat = kVoltageFormat;

    const codec::VoltageCorrection check =
        codec::CorrectHighVoltage(field.Text(), medSensorLoVolts->Text());
    if (check.outOfRange) {
        showVoltageMessage(QStringLiteral("Voltage Range is .1-5v"));
        setMaskAndText(field, vEntryMask, check.rangedText);
    } else {
        field.setText(check.rangedText);
    }
    if (check.belowLowVoltage) {
        showVoltageMessage(QStringLiteral("Cannot be less than Low Sensor Voltage"));
        vEntryMask = kVoltageMask;
        vDisplayFormat = kVoltageFormat;
        setMaskAndText(field, vEntryMask, check.finalText);
    }

    selectWholeText(field);
    Cancel = false;
}

void frmCalibrateSensor::medSensorLoVolts_Validate(bool& Cancel) {
    using namespace Module1;
    platform::MaskEdBox& field = *medSensorLoVolts;
    vEntryMask = kVoltageMask;
    vDisplayFormat = kVoltageFormat;

    const codec::VoltageCorrection check = codec::CorrectLowVoltage(field.Text());
    if (check.outOfRange) {
        showVoltageMessage(QStringLiteral("Voltage Range is 0-4.9v"));
        setMaskAndText(field, vEntryMask, check.rangedText);
    } else {
        field.setText(check.rangedText);
    }

    selectWholeText(field);
    Cancel = false;
}

void frmCalibrateSensor::medSensorRangeHi_Validate(bool& Cancel) {
    using namespace Module1;
    platform::MaskEdBox& field = *medSensorRangeHi;
    refreshRangeLimits();

    const codec::RangeCorrection check =
        codec::CorrectRangeHigh(field.Text(), medSensorRangeLo->Text(), vRangeMin, vRangeMax);
    if (check.outOfLimits)
        showRangeMessage();

    storeRangeValue(field, check.value);
    Cancel = false;
}

void frmCalibrateSensor::medSensorRangeLo_Validate(bool& Cancel) {
    using namespace Module1;
    platform::MaskEdBox& field = *medSensorRangeLo;
    refreshRangeLimits();

    const codec::RangeCorrection check = codec::CorrectRangeLow(field.Text(), vRangeMin, vRangeMax);
    if (check.outOfLimits)
        showRangeMessage();

    storeRangeValue(field, check.value);
    Cancel = false;
}

bool frmCalibrateSensor::RefuseInvertedPair(const AcceptSnapshot& accepted) {
    using namespace Module1;
    // The voltage fields of a temperature sensor are off and hold the type's own voltages.
    const codec::InvertedPair inverted = codec::FindInvertedPair(
        accepted.loVolts, accepted.hiVolts, accepted.rangeLo, accepted.rangeHi,
        medSensorLoVolts->isEnabled() && medSensorHiVolts->isEnabled());
    if (inverted == codec::InvertedPair::None)
        return false;
    // The high field's own message, and the focus in the high field: leaving it again runs the
    // check that compares the pair and corrects it.
    platform::MaskEdBox* field = nullptr;
    if (inverted == codec::InvertedPair::Voltages) {
        showVoltageMessage(QStringLiteral("Cannot be less than Low Sensor Voltage"));
        field = medSensorHiVolts;
    } else {
        // The limits named are those of the channel on display.
        refreshRangeLimits();
        showRangeMessage();
        field = medSensorRangeHi;
    }
    field->setFocus(Qt::OtherFocusReason);
    return true;
}

} // namespace workbench
