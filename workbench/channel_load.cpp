// Loading a channel: its setup word from the controller, the catalogue's defaults in the
// setpoint fields, one live reading.
#include "workbench/frm_calibrate_sensor.h"

#include "codec/message_number.h"
#include "codec/number_text.h"
#include "codec/range_table.h"
#include "codec/utility.h"
#include "link/protocol.h"
#include "link/transact.h"
#include "platform/widgets/masked_edit.h"
#include "records/channel_table.h"
#include "shell/module1.h"
#include "workbench/controller_identity.h"
#include "workbench/range_format.h"

#include <QComboBox>
#include <QLineEdit>

namespace workbench {

void frmCalibrateSensor::GetSensorValue() {
    using namespace Module1;
    if (const auto* channel = records::channelByListText(cboChannelNumber->currentText())) {
        oAddress = channel->setupAddress;
        vChannelIndex = channel->index;
    }
    QByteArray unusedLine;
    const bool read = SendData(oAddress, sReadReply, unusedLine);

    // Only a reply that was read whole and carries a setup word is decoded. Any other (the
    // read failed and was reported) is shown as a read that got nothing: the word 0.
    const quint16 word =
        read ? devicelink::protocol::TableReplyWord(sReadReply).value_or(0) : quint16(0);
    sValueText = codec::Num2Bin(word);
    const int type = codec::Bin2Num(sValueText.mid(0, 4));
    const int unit = codec::Bin2Num(sValueText.mid(4, 4));
    if (vChannelIndex && *vChannelIndex >= 16 && *vChannelIndex <= 29)
        sChannelSetup[size_t(*vChannelIndex - 16)][1] =
            QString::number(type) + QString::number(unit);
}

namespace {

// Fills one range field with a default value in the channel's mask and display form.
void showRangeDefault(platform::MaskEdBox& field, double defaultValue) {
    using namespace Module1;
    sValueText.clear();
    SetRangeFormat(vEntryMask, vDisplayFormat, sValueText);
    QString text = codec::MessageNumberText(defaultValue);
    // Rounded through single precision, as every range value is.
    const float value = float(codec::TextToNumber(text));
    sValueText = codec::NumberToFixedText(value, 6);
    SetRangeFormat(vEntryMask, vDisplayFormat, sValueText);
    field.setMask(vEntryMask);
    field.setText(sValueText);
}

} // namespace

void frmCalibrateSensor::LoadChannel() {
    using namespace Module1;
    // Whatever ends the load, the refresh, the stepping buttons and the input come back.
    const ControllerWork work(*this, ControllerWork::Kind::Load);

    cboSensor->clear();
    cboRange->clear();
    cboAnalogData->clear();
    // A lost device opened again and an identity read owed come before the setup word, so the
    // whole load comes from the controller now answering, and the load knows which one.
    ControllerIdentity::instance().recheckBeforeCommand();
    m_loadedFromReplacedController = false;
    GetSensorValue();
    GetSensorData();

    showRangeDefault(*medSensorRangeLo, m_defaults.rangeLo);
    showRangeDefault(*medSensorRangeHi, double(sngSensorRangeHi));

    vEntryMask = QStringLiteral("#.###");
    vDisplayFormat = QStringLiteral("0.000");
    medSensorLoVolts->setMask(vEntryMask);
    medSensorHiVolts->setMask(vEntryMask);
    medSensorLoVolts->setText(codec::FormatWithDisplayFormat(m_defaults.loVolts, vDisplayFormat));
    medSensorHiVolts->setText(codec::FormatWithDisplayFormat(m_defaults.hiVolts, vDisplayFormat));

    ReadAnalogValues();
    // Told at the end of the load; should the controller have changed during the load (a
    // device lost and opened again), the channel is read once more.
    NoticeAnotherController();
}

} // namespace workbench
