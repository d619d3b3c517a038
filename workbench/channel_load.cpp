// Loading a channel: its setup word from the controller, the catalogue's defaults in the
// setpoint fields, one live reading.
#include "workbench/frm_calibrate_sensor.h"

#include "app/module1.h"
#include "codec/leading_value.h"
#include "codec/message_number.h"
#include "codec/number_text.h"
#include "codec/range_table.h"
#include "codec/utility.h"
#include "platform/masked_edit.h"
#include "workbench/channel_table.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

// The number at the start of characters `from` to `from + 2` (counted from 1) of a table
// reply; a field that is missing or holds no number counts as 0.
double byteField(const QByteArray& reply, int from) {
    return Module1::LeadingValue(QString::fromLatin1(reply.mid(from - 1, 3)));
}

} // namespace

void frmCalibrateSensor::GetSensorValue() {
    using namespace Module1;
    if (const auto* channel = workbench::channelByListText(cboChannelNumber->currentText())) {
        oAddress = channel->setupAddress;
        vChannelIndex = channel->index;
    }
    QByteArray unusedLine;
    SendData(oAddress, sReadReply, unusedLine);

    const double low = byteField(sReadReply, 6);
    const double high = byteField(sReadReply, 10);
    // Rounded to a whole number; a high byte above 255 makes a word above 65535, of which
    // the binary text keeps the low sixteen bits.
    const qint64 word = std::llround(std::clamp(low + 256.0 * high, -2147483648.0, 2147483647.0));
    sValueText = Num2Bin(word);
    const int type = Bin2Num(sValueText.mid(0, 4));
    const int unit = Bin2Num(sValueText.mid(4, 4));
    if (vChannelIndex && *vChannelIndex >= 16 && *vChannelIndex <= 29)
        sChannelSetup[size_t(*vChannelIndex - 16)][1] =
            QString::number(type) + QString::number(unit);
}

namespace {

// Fills one range field with a default value in the channel's mask and display form.
void showRangeDefault(platform::MaskEdBox& field, double defaultValue, float& temp) {
    using namespace Module1;
    sValueText.clear();
    SetRangeFormat(vEntryMask, vDisplayFormat, sValueText);
    QString text = MessageNumberText(defaultValue);
    temp = float(TextToNumber(text));
    sValueText = NumberToFixedText(temp, 6);
    SetRangeFormat(vEntryMask, vDisplayFormat, sValueText);
    field.setMask(vEntryMask);
    field.setText(sValueText);
}

} // namespace

void frmCalibrateSensor::LoadChannel() {
    using namespace Module1;
    Timer1->stop();
    cmdNextChannel->setEnabled(false);
    cmdPrevChannel->setEnabled(false);
    WorkScope work(*this);
    m_loading = true;
    // Whatever ends the load, the refresh and the stepping buttons come back.
    const auto restore = qScopeGuard([this] {
        m_loading = false;
        cmdNextChannel->setEnabled(true);
        cmdPrevChannel->setEnabled(true);
        if (!m_unloading)
            Timer1->start();
    });

    cboSensor->clear();
    cboRange->clear();
    cboAnalogData->clear();
    GetSensorValue();
    GetSensorData();

    showRangeDefault(*medSensorRangeLo, iSensorRangeLo, Temp);
    showRangeDefault(*medSensorRangeHi, double(sngSensorRangeHi), Temp);

    vEntryMask = QStringLiteral("#.###");
    vDisplayFormat = QStringLiteral("0.000");
    medSensorLoVolts->setMask(vEntryMask);
    medSensorHiVolts->setMask(vEntryMask);
    medSensorLoVolts->setText(FormatWithDisplayFormat(oSensorLoVolts, vDisplayFormat));
    medSensorHiVolts->setText(FormatWithDisplayFormat(oSensorHiVolts, vDisplayFormat));

    ReadAnalogValues();
}
