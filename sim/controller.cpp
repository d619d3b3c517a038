#include "sim/controller.h"

#include <QList>

#include <cmath>
#include <cstdio>

namespace sim {

namespace {

// Channel numbers in slot order; 38 and 39 do not exist.
constexpr std::array<int, kChannelCount> kChannels = {30, 31, 32, 33, 34, 35, 36,
                                                      37, 40, 41, 42, 43, 44, 45};

// Factory setup words, chosen so that every sensor type digit 0..9 and every unit digit 0..8
// occurs at least once. Some carry bits in the low byte, which means nothing to the tool.
//   slot ch  word    type unit
//    0   30  0x1200  1    2     0 - 100    PSIG
//    1   31  0x9000  9    0     Deg2 Type  Fahrenheit
//    2   32  0x8135  8    1     Deg1 Type  Celsius
//    3   33  0x0300  0    3     0 - 50     KPa
//    4   34  0x2807  2    8     0 - 300    PSIA
//    5   35  0x3400  3    4     0 - 500    RPM
//    6   36  0x45FF  4    5     0 - 1000   Hg.
//    7   37  0x5600  5    6     0 - 2000   BAR
//    8   40  0x6280  6    2     0 - 5000   PSIG
//    9   41  0x7700  7    7     NONE       NONE
//   10   42  0x8001  8    0     Deg1 Type  Fahrenheit
//   11   43  0x9100  9    1     Deg2 Type  Celsius
//   12   44  0x1340  1    3     0 - 100    KPa
//   13   45  0x0200  0    2     0 - 50     PSIG
constexpr std::array<quint16, kChannelCount> kDefaultSetupWords = {
    0x1200, 0x9000, 0x8135, 0x0300, 0x2807, 0x3400, 0x45FF,
    0x5600, 0x6280, 0x7700, 0x8001, 0x9100, 0x1340, 0x0200};

// Default high range value of the pressure-style sensor types 0..7.
constexpr std::array<double, 8> kTypeHighRange = {50, 100, 300, 500, 1000, 2000, 5000, 50};

// Width of the value at the start of a live reading.
constexpr int kValueWidth = 6;

bool isSlot(int slot) {
    return slot >= 0 && slot < kChannelCount;
}

bool allDigits(const QByteArray& text, qsizetype length) {
    if (text.size() != length)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// A range value as the tool sends it: a sign and five characters of digits with at most one
// decimal point, e.g. "+000.0", "-0.862", "+2500.".
std::optional<double> parseRangeText(const QByteArray& text) {
    if (text.size() != 6 || (text[0] != '+' && text[0] != '-'))
        return std::nullopt;
    int points = 0;
    int digits = 0;
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] == '.')
            ++points;
        else if (text[i] >= '0' && text[i] <= '9')
            ++digits;
        else
            return std::nullopt;
    }
    if (points > 1 || digits == 0)
        return std::nullopt;
    bool ok = false;
    const double magnitude = text.mid(1).toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return text[0] == '-' ? -magnitude : magnitude;
}

// The value right aligned in six characters with the given decimals; halves round away from
// zero and a value that rounds to zero never shows a minus sign.
QByteArray fixedValueText(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    double rounded = std::round(value * scale) / scale;
    if (rounded == 0.0)
        rounded = 0.0;
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%*.*f", kValueWidth, decimals, rounded);
    if (length < 0 || length > kValueWidth)
        return {};
    return QByteArray(text, length);
}

} // namespace

QByteArray commandKindName(CommandKind kind) {
    switch (kind) {
    case CommandKind::Identity:
        return QByteArrayLiteral("identity");
    case CommandKind::TableRead:
        return QByteArrayLiteral("table");
    case CommandKind::LiveReading:
        return QByteArrayLiteral("live");
    case CommandKind::WriteOn:
        return QByteArrayLiteral("ton");
    case CommandKind::Calibrate:
        return QByteArrayLiteral("tc");
    case CommandKind::WriteOff:
        return QByteArrayLiteral("toff");
    }
    return {};
}

std::optional<CommandKind> commandKindByName(QByteArrayView name) {
    for (int i = 0; i < kCommandKindCount; ++i) {
        const auto kind = static_cast<CommandKind>(i);
        if (name == commandKindName(kind))
            return kind;
    }
    return std::nullopt;
}

int channelOfSlot(int slot) {
    return isSlot(slot) ? kChannels[slot] : -1;
}

int slotOfChannel(int channel) {
    for (int slot = 0; slot < kChannelCount; ++slot) {
        if (kChannels[slot] == channel)
            return slot;
    }
    return -1;
}

QByteArray liveReadingBody(int slot) {
    if (!isSlot(slot))
        return {};
    return QByteArray::number(0x140A + 0x40 * slot, 16).toUpper().rightJustified(5, '0') + " RX 11";
}

QByteArray Controller::defaultIdentity() {
    // Display board micro date, six characters of firmware text, terminal board micro date.
    return QByteArrayLiteral("11/03/00 V2.1 10/27/00");
}

quint16 Controller::defaultSetupWord(int slot) {
    return isSlot(slot) ? kDefaultSetupWords[slot] : 0;
}

double Controller::defaultVoltage(int slot) {
    return isSlot(slot) ? 1.0 + 0.25 * slot : 0.0;
}

Calibration Controller::defaultCalibration(quint16 setupWord) {
    const int type = typeOfWord(setupWord);
    const int unit = unitOfWord(setupWord);
    Calibration c;
    if (type < 8)
        c.hiRange = kTypeHighRange[type];
    else if (type >= 10)
        c.hiRange = 100; // read by the tool as "0 - 100" (its first digit is 1)
    else if (type == 9) {
        c.loRange = -40; // wide temperature sensor, Fahrenheit span
        c.hiRange = 572;
    } else {
        c.loRange = 5; // narrow temperature sensor, Fahrenheit span
        c.hiRange = 300;
    }
    // Temperature units always use the temperature span; only type 9 has the wide one.
    if (unit == 0) {
        c.loRange = type == 9 ? -40 : 5;
        c.hiRange = type == 9 ? 572 : 300;
    } else if (unit == 1) {
        c.loRange = type == 9 ? -40 : -15;
        c.hiRange = type == 9 ? 300 : 148.8;
    }
    return c;
}

QByteArray Controller::unitText(int unitCode) {
    switch (unitCode) {
    case 0:
        return QByteArrayLiteral("\xDF"
                                 "F");
    case 1:
        return QByteArrayLiteral("\xDF"
                                 "C");
    case 2:
        return QByteArrayLiteral("PSIG");
    case 3:
        return QByteArrayLiteral("KPa");
    case 4:
        return QByteArrayLiteral("RPM");
    case 5:
        return QByteArrayLiteral("Hg.");
    case 6:
        return QByteArrayLiteral("BAR");
    case 7:
        return QByteArrayLiteral("NONE");
    case 8:
        return QByteArrayLiteral("PSIA");
    default:
        return {};
    }
}

int Controller::countOfVoltage(double volts) {
    const double count = std::floor(volts / 5.0 * kFullScaleCount);
    if (!(count > 0.0))
        return 0;
    return count > kFullScaleCount ? kFullScaleCount : static_cast<int>(count);
}

// A live reading is always 11 bytes. The value stands right aligned in the first six
// characters with one decimal (two for BAR). Then:
//   temperature units: the degree byte 0xDF and "F" or "C", padded with three NULs:
//                      "  41.9" 0xDF "F" NUL NUL NUL
//   other units:       a blank and the unit text, padded with NULs:
//                      "  25.0 PSIG", "  12.5 KPa" NUL, " 45.02 BAR" NUL
//   unknown unit code: the value and five NULs.
// A value too wide for six characters loses its decimals; if it is still too wide the six
// characters read "******".
QByteArray Controller::formatReading(double value, int unitCode) {
    QByteArray text = fixedValueText(value, unitCode == 6 ? 2 : 1);
    if (text.isEmpty())
        text = fixedValueText(value, 0);
    if (text.isEmpty())
        text = QByteArray(kValueWidth, '*');
    const QByteArray unit = unitText(unitCode);
    if (unitCode == 0 || unitCode == 1)
        text += unit;
    else if (!unit.isEmpty())
        text += ' ' + unit;
    text.append(kReadingLength - text.size(), '\0');
    return text;
}

Controller::Controller() : identity_(defaultIdentity()) {
    for (int slot = 0; slot < kChannelCount; ++slot) {
        setupWords_[slot] = defaultSetupWord(slot);
        voltages_[slot] = defaultVoltage(slot);
    }
}

void Controller::setSetupWord(int slot, quint16 word) {
    if (!isSlot(slot))
        return;
    setupWords_[slot] = word;
    calibrations_[slot].reset();
}

quint16 Controller::setupWord(int slot) const {
    return isSlot(slot) ? setupWords_[slot] : 0;
}

quint16 Controller::tableWord(int address) const {
    return setupWord(address - kFirstSetupAddress);
}

void Controller::setVoltage(int slot, double volts) {
    if (isSlot(slot))
        voltages_[slot] = volts;
}

void Controller::setRange(int slot, double loRange, double hiRange) {
    if (!isSlot(slot))
        return;
    Calibration c;
    c.loRange = loRange;
    c.hiRange = hiRange;
    calibrations_[slot] = c;
}

double Controller::voltage(int slot) const {
    return isSlot(slot) ? voltages_[slot] : 0.0;
}

Calibration Controller::calibration(int slot) const {
    if (!isSlot(slot))
        return {};
    return calibrations_[slot].value_or(defaultCalibration(setupWords_[slot]));
}

double Controller::engineeringValue(int slot) const {
    const Calibration c = calibration(slot);
    const int count = countOfVoltage(voltage(slot));
    if (c.hiCount == c.loCount)
        return c.loRange;
    return c.loRange + (count - c.loCount) * (c.hiRange - c.loRange) / (c.hiCount - c.loCount);
}

QByteArray Controller::liveReading(int slot) const {
    return formatReading(engineeringValue(slot), unitOfWord(setupWord(slot)));
}

void Controller::setGarbage(bool on, quint32 seed) {
    garbage_ = on;
    // xorshift never leaves the state 0, so a zero seed takes a fixed non-zero one.
    garbageState_ = seed == 0 ? 0x8400u : seed;
}

QByteArray Controller::garble(qsizetype length) {
    QByteArray bytes(length, '\0');
    for (qsizetype i = 0; i < length; ++i) {
        quint32 x = garbageState_;
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        garbageState_ = x;
        bytes[i] = static_cast<char>(x >> 24);
    }
    return bytes;
}

// ">(00TC cc llll slo hhhh shi)": channel slot, low count, low range text, high count, high
// range text, single blanks between them. Accepted only between T ON and T OFF.
QByteArray Controller::calibrate(QByteArrayView body) {
    static const QByteArray kRefused = QByteArrayLiteral("ER\r");
    const QList<QByteArray> fields = body.toByteArray().split(' ');
    if (!writeEnabled_ || fields.size() != 6)
        return kRefused;
    if (!allDigits(fields[1], 2) || !allDigits(fields[2], 4) || !allDigits(fields[4], 4))
        return kRefused;
    const int slot = fields[1].toInt();
    const int loCount = fields[2].toInt();
    const int hiCount = fields[4].toInt();
    const std::optional<double> loRange = parseRangeText(fields[3]);
    const std::optional<double> hiRange = parseRangeText(fields[5]);
    if (!isSlot(slot) || loCount > kFullScaleCount || hiCount > kFullScaleCount || !loRange ||
        !hiRange)
        return kRefused;
    calibrations_[slot] = Calibration{loCount, *loRange, hiCount, *hiRange};
    return QByteArrayLiteral("OK\r");
}

std::optional<Command> parseCommand(QByteArrayView line) {
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.size() < 3 || !line.startsWith(">(") || !line.endsWith(')'))
        return std::nullopt;
    Command command;
    command.body = line.sliced(2, line.size() - 3).toByteArray();
    const QByteArray& body = command.body;
    if (body == "00F00 RX 22") {
        command.kind = CommandKind::Identity;
    } else if (body.startsWith("00TRX ") && allDigits(body.mid(6), 3)) {
        command.kind = CommandKind::TableRead;
        command.argument = body.mid(6).toInt();
    } else if (body == "00T ON") {
        command.kind = CommandKind::WriteOn;
    } else if (body == "00T OFF") {
        command.kind = CommandKind::WriteOff;
    } else if (body == "00TC" || body.startsWith("00TC ")) {
        command.kind = CommandKind::Calibrate;
    } else {
        command.argument = -1;
        for (int slot = 0; slot < kChannelCount && command.argument < 0; ++slot) {
            if (body == liveReadingBody(slot))
                command.argument = slot;
        }
        if (command.argument < 0)
            return std::nullopt;
        command.kind = CommandKind::LiveReading;
    }
    return command;
}

Response Controller::handle(QByteArrayView line) {
    const std::optional<Command> parsed = parseCommand(line);
    if (!parsed)
        return {};
    const CommandKind command = parsed->kind;
    const int argument = parsed->argument;
    const QByteArray& body = parsed->body;

    Response response;
    response.faulted = faultKinds_.contains(command);
    // A command lost to a fault has no effect at all, as if it had never arrived.
    if ((silent_ && response.faulted) || ignoreFirst_.remove(body)) {
        response.kind = Response::Kind::Ignored;
        return response;
    }

    QByteArray reply;
    switch (command) {
    case CommandKind::Identity:
        reply = identity_;
        break;
    case CommandKind::TableRead: {
        // ">nnn:LLL,HHH\r": the address, then the low and the high byte as three digits.
        const quint16 word = tableWord(argument);
        reply = '>' + body.mid(6) + ':' + QByteArray::number(word & 0xFF).rightJustified(3, '0') +
                ',' + QByteArray::number(word >> 8).rightJustified(3, '0') + '\r';
        break;
    }
    case CommandKind::LiveReading:
        reply = liveReading(argument);
        break;
    case CommandKind::WriteOn:
        writeEnabled_ = true;
        reply = QByteArrayLiteral("OK\r");
        break;
    case CommandKind::WriteOff:
        writeEnabled_ = false;
        reply = QByteArrayLiteral("OK\r");
        break;
    case CommandKind::Calibrate:
        reply = calibrate(body);
        break;
    }

    if (response.faulted) {
        if (garbage_)
            reply = garble(reply.size());
        if (partialLength_ >= 0 && reply.size() > partialLength_)
            reply.truncate(partialLength_);
        // The device goes in the middle of this reply; it happens once, as a device goes once.
        if (hangupInReply_ >= 0) {
            if (reply.size() > hangupInReply_)
                reply.truncate(hangupInReply_);
            response.lastBeforeHangup = true;
            hangupInReply_ = -1;
        }
    }
    response.kind = Response::Kind::Reply;
    response.bytes = reply;
    return response;
}

} // namespace sim
