#include "sim/options.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cmath>

namespace sim {

namespace {

// clang-format off
const char kLayouts[] = R"help(
The tool's side of the line is PATH (or the pty named on the ready line). Each command is
">(" body ")" CR LF; a command ends at LF and a CR before it is dropped. Input without a
line end is kept up to 4096 bytes; the rest of such a line is dropped unanswered.

Commands and replies:
  >(00F00 RX 22)     identity block, sent as it is held: by default the 22 characters
                     "11/03/00 V2.1 10/27/00" (display board micro date MM/dd/yy, six
                     characters of firmware text, terminal board micro date).
  >(00TRX nnn)       table read, nnn three digits. 13 bytes ">nnn:LLL,HHH" CR with the
                     low byte of the word in LLL and the high byte in HHH, e.g.
                     ">112:000,018\r". Addresses 112..125 hold the setup words of
                     channels 30..37, 40..45; every other address reads 0.
  >(0140A RX 11) ... >(0174A RX 11)
                     live reading of channel 30 ... 45 (address 0140A + 40 hex per
                     channel). 11 bytes: the value right aligned in six characters with
                     one decimal (two for BAR), then for Fahrenheit/Celsius the degree
                     byte 0xDF and F or C, for other units a blank and the unit text
                     (PSIG, KPa, RPM, Hg., BAR, NONE, PSIA); NUL bytes pad to 11.
                     e.g. "  41.9" DF "F" NUL NUL NUL, "  25.0 PSIG", "  12.5 KPa" NUL.
  >(00T ON)          open a calibration write; reply "OK" CR.
  >(00TC cc llll slo hhhh shi)
                     calibrate slot cc (00..13 for channels 30..45): low count llll,
                     low range text slo (sign and five characters, e.g. +000.0), high
                     count hhhh, high range text shi. Counts 0000..4095. "OK" CR when
                     stored, "ER" CR (nothing changes) outside T ON..T OFF or when
                     malformed.
  >(00T OFF)         close the calibration write; reply "OK" CR.
Anything else gets no reply.

Live value: each channel has a constant sensor voltage V (1.00 V for channel 30, then
0.25 V more per channel; see --voltage). count = floor(V / 5 * 4095), and
value = lowRange + (count - lowCount) * (highRange - lowRange) / (highCount - lowCount).
Until a calibration write a channel has the counts 409 and 3685 over 0 .. the type's
high value (50, 100, 300, 500, 1000, 2000, 5000, 50 for types 0..7); temperature units
use 5..300 F or -15..148.8 C (type 9: -40..572 F or -40..300 C).

Input file: --input-file PATH applies sensor voltages while the program runs, as a
reference standard would. PATH holds one CH=VOLTS a line (CH one of 30..37, 40..45, VOLTS
0..5); blank lines and lines starting with # are skipped. It is read again before each live
reply, so the reading follows the file from the next reply on (through the calibration held,
as with --voltage, which it overrides for the channels it names). A channel the file does
not name, a line that is not CH=VOLTS, a last line without a line end (it may be half
written) and a file that cannot be read leave the voltage as it was; what is wrong is
printed on stderr when it changes. A program that rewrites the file while the simulator
runs can write it under another name and rename it over PATH.

Setup words (bits 15-12 sensor type, 11-8 unit, low byte unused), by default:
  30 0x1200  31 0x9000  32 0x8135  33 0x0300  34 0x2807  35 0x3400  36 0x45FF
  37 0x5600  40 0x6280  41 0x7700  42 0x8001  43 0x9100  44 0x1340  45 0x0200
Types: 0 "0 - 50" .. 6 "0 - 5000", 7 NONE, 8 Deg1, 9 Deg2. Units: 0 Fahrenheit,
1 Celsius, 2 PSIG, 3 KPa, 4 RPM, 5 Hg., 6 BAR, 7 NONE, 8 PSIA.

Faults: a command lost to --silent or --ignore-first has no effect. --garbage and
--partial apply to every reply (garbage first), and the command still takes effect.
--hangup-after counts every received line, recognised or not, and hangs up once the
tool has read the last reply (at most 3 s after it was sent); lines that arrive after
the N-th are logged as ignored. --hangup-in-reply N cuts the first reply to N bytes
and then hangs up the same way: the device goes in the middle of a reply, and the
command still takes effect.
--fault-on KIND confines --silent, --delay, --partial, --garbage and --hangup-in-reply
to the commands of the kinds named: identity (>(00F00 RX 22)), table (>(00TRX nnn)),
live (the live readings), ton (>(00T ON)), tc (>(00TC ...)) and toff (>(00T OFF)).
Commands of other kinds are answered at once and whole, but a reply held back by
--delay still holds back the replies queued after it, as the controller answers in turn.

Flooding: input is taken at most 4096 bytes at a time, between sending replies, so a
command sent amid a flood of bytes is still answered in its turn and a stop signal still
ends the program at once. At most 1024 replies wait to be sent (see --delay, --pace); the
reply to a command that finds the queue full is dropped (the command still takes effect)
and its "in" line carries "dropped":true. A reply the tool's side of the pty has no room
for is lost as well. Lost replies are counted on stderr.

Log file: one JSON object per line, flushed at once:
  {"t":12.345,"dir":"in","text":">(00F00 RX 22)"}
  {"t":12.401,"dir":"out","text":"11/03/00 V2.1 10/27/00"}
t is milliseconds since the start (monotonic clock). "in" lines hold the command line
without CR LF, "out" lines the exact reply bytes, logged when sending starts. Each byte is
the code point of the same value (NUL is \u0000, 0xDF is \u00df). An "in" line carries
"ignored":true when a fault option leaves it unanswered, "unknown":true when it is not a
command, "overlong":true when it was cut at 4096 bytes, and "dropped":true when its reply
found the reply queue full.

On start the program prints "tq8400-sim: ready on PATH" once PATH exists. SIGINT, SIGTERM
and SIGHUP end it; PATH is removed on every exit. Exit status: 0 normally and after
--hangup-after, 1 when the pty, the link or the log cannot be made or used, 2 for a
wrong option.
)help";
// clang-format on

const QString kFaultKindNames = QStringLiteral("identity, table, live, ton, tc, toff");

QString countError(const QString& name, int minimum, const QString& given) {
    return QStringLiteral("--%1 needs a whole number of at least %2, not '%3'")
        .arg(name)
        .arg(minimum)
        .arg(given);
}

// The option's value as a whole number of at least `minimum`; the reason in `error` if not.
std::optional<int> parseCount(const QCommandLineParser& parser, const QString& name, int minimum,
                              QString& error) {
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < minimum) {
        error = countError(name, minimum, parser.value(name));
        return std::nullopt;
    }
    return value;
}

// "CH=VALUE" with CH one of the channel numbers: the slot and the value text.
std::optional<std::pair<int, QString>> parseAssignment(const QString& option, const QString& text,
                                                       QString& error) {
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    bool ok = false;
    const int channel = text.left(equals).toInt(&ok);
    const int slot = ok && equals > 0 ? slotOfChannel(channel) : -1;
    if (slot < 0) {
        error = QStringLiteral("--%1 '%2': expected CH=VALUE with CH one of 30..37, 40..45")
                    .arg(option, text);
        return std::nullopt;
    }
    return std::pair{slot, text.mid(equals + 1)};
}

// A setup word, decimal or 0x hex.
std::optional<quint16> parseWord(const QString& text, QString& error) {
    bool ok = false;
    uint value = 0;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        value = text.mid(2).toUInt(&ok, 16);
    else
        value = text.toUInt(&ok, 10);
    if (!ok || value > 0xFFFF) {
        error =
            QStringLiteral("--setup: '%1' is not a word 0..65535 (decimal or 0x hex)").arg(text);
        return std::nullopt;
    }
    return static_cast<quint16>(value);
}

QList<QCommandLineOption> optionList() {
    return {
        {{QStringLiteral("h"), QStringLiteral("help")},
         QStringLiteral("Show this help, the command and reply layouts, and exit.")},
        {QStringLiteral("version"), QStringLiteral("Show the version and exit.")},
        {QStringLiteral("link"),
         QStringLiteral("Make PATH a symbolic link to the pty's tool side (a stale link is "
                        "replaced; the link is removed on exit). Without it the pty's own "
                        "name is printed."),
         QStringLiteral("PATH")},
        {QStringLiteral("identity"),
         QStringLiteral("Identity block to send, as given in Latin-1, any length."),
         QStringLiteral("TEXT")},
        {QStringLiteral("setup"),
         QStringLiteral("Setup word of channel CH (30..37, 40..45), decimal or 0x hex "
                        "0..65535. Repeatable."),
         QStringLiteral("CH=WORD")},
        {QStringLiteral("voltage"),
         QStringLiteral("Sensor voltage 0..5 of channel CH. Repeatable."),
         QStringLiteral("CH=VOLTS")},
        {QStringLiteral("range"),
         QStringLiteral("Channel CH holds a calibration from before with the range values LOW "
                        "and HIGH at counts 409 and 3685 (0.5 and 4.5 V), e.g. 30=0:90 for a "
                        "channel calibrated wrongly. Repeatable; applied after --setup."),
         QStringLiteral("CH=LOW:HIGH")},
        {QStringLiteral("input-file"),
         QStringLiteral("Read the sensor voltages of the channels from PATH (CH=VOLTS a line) "
                        "again before each live reply; see \"Input file\" below."),
         QStringLiteral("PATH")},
        {QStringLiteral("silent"), QStringLiteral("Never answer.")},
        {QStringLiteral("delay"), QStringLiteral("Wait MS milliseconds before each reply."),
         QStringLiteral("MS")},
        {QStringLiteral("partial"), QStringLiteral("Send only the first N bytes of each reply."),
         QStringLiteral("N")},
        {QStringLiteral("garbage"),
         QStringLiteral("Replace each reply by pseudo-random bytes of the same length.")},
        {QStringLiteral("seed"),
         QStringLiteral("Seed of the --garbage bytes (default 8400); the same seed gives the "
                        "same bytes."),
         QStringLiteral("N")},
        {QStringLiteral("ignore-first"),
         QStringLiteral("Leave the first command whose body (the text between '>(' and ')') "
                        "is TEXT unanswered, e.g. \"00F00 RX 22\"; later ones are answered. "
                        "Repeatable."),
         QStringLiteral("TEXT")},
        {QStringLiteral("hangup-after"),
         QStringLiteral("After the N-th command has been handled and its reply sent, close "
                        "the pty, remove the link and exit 0."),
         QStringLiteral("N")},
        {QStringLiteral("hangup-in-reply"),
         QStringLiteral("Send only the first N bytes of the first reply, then close the pty, "
                        "remove the link and exit 0: the device goes in the middle of a "
                        "reply."),
         QStringLiteral("N")},
        {QStringLiteral("fault-on"),
         QStringLiteral("Apply --silent, --delay, --partial, --garbage and --hangup-in-reply "
                        "only to commands of KIND: identity, table, live, ton, tc or toff. "
                        "Repeatable; without it they apply to every command."),
         QStringLiteral("KIND")},
        {QStringLiteral("pace"),
         QStringLiteral("Send replies at the line's 9600 bit/s (about 1.04 ms per byte).")},
        {QStringLiteral("log"),
         QStringLiteral("Write one JSON line per command received and reply sent to FILE."),
         QStringLiteral("FILE")},
        {{QStringLiteral("v"), QStringLiteral("verbose")},
         QStringLiteral("Print a readable trace of the exchange to stderr.")},
    };
}

// The options that need a value checked; the first wrong one is the one reported.
std::optional<QString> readValues(const QCommandLineParser& parser, Options& result) {
    QString error;
    const auto isSet = [&](const char* name) { return parser.isSet(QLatin1String(name)); };
    const auto value = [&](const char* name) { return parser.value(QLatin1String(name)); };

    result.linkPath = value("link");
    result.logPath = value("log");
    result.verbose = isSet("verbose");
    result.pace = isSet("pace");
    if (isSet("link") && result.linkPath.isEmpty())
        return QStringLiteral("--link needs a path");
    if (isSet("log") && result.logPath.isEmpty())
        return QStringLiteral("--log needs a file name");

    if (isSet("identity"))
        result.identity = value("identity").toLatin1();
    for (const QString& text : parser.values(QStringLiteral("setup"))) {
        const auto assignment = parseAssignment(QStringLiteral("setup"), text, error);
        if (!assignment)
            return error;
        const auto word = parseWord(assignment->second, error);
        if (!word)
            return error;
        result.setupWords.emplace_back(assignment->first, *word);
    }
    for (const QString& text : parser.values(QStringLiteral("voltage"))) {
        const auto assignment = parseAssignment(QStringLiteral("voltage"), text, error);
        if (!assignment)
            return error;
        bool ok = false;
        const double volts = assignment->second.toDouble(&ok);
        if (!ok || volts < 0.0 || volts > 5.0)
            return QStringLiteral("--voltage '%1': volts must be 0..5").arg(text);
        result.voltages.emplace_back(assignment->first, volts);
    }
    for (const QString& text : parser.values(QStringLiteral("range"))) {
        const auto assignment = parseAssignment(QStringLiteral("range"), text, error);
        if (!assignment)
            return error;
        const QStringList ends = assignment->second.split(QLatin1Char(':'));
        bool lowOk = false;
        bool highOk = false;
        const double low = ends.size() == 2 ? ends[0].toDouble(&lowOk) : 0;
        const double high = ends.size() == 2 ? ends[1].toDouble(&highOk) : 0;
        if (!lowOk || !highOk || !std::isfinite(low) || !std::isfinite(high))
            return QStringLiteral("--range '%1': expected CH=LOW:HIGH with two numbers").arg(text);
        result.ranges.emplace_back(assignment->first, std::pair{low, high});
    }
    result.inputFilePath = value("input-file");
    if (isSet("input-file") && result.inputFilePath.isEmpty())
        return QStringLiteral("--input-file needs a file name");
    result.silent = isSet("silent");
    for (const QString& body : parser.values(QStringLiteral("ignore-first")))
        result.ignoreFirst.append(body.toLatin1());
    if (isSet("partial")) {
        const auto n = parseCount(parser, QStringLiteral("partial"), 0, error);
        if (!n)
            return error;
        result.partialLength = *n;
    }
    result.garbage = isSet("garbage");
    if (isSet("seed")) {
        bool ok = false;
        result.seed = value("seed").toUInt(&ok);
        if (!ok)
            return QStringLiteral("--seed needs a whole number 0..4294967295");
    }
    if (isSet("delay")) {
        const auto ms = parseCount(parser, QStringLiteral("delay"), 0, error);
        if (!ms)
            return error;
        result.delayMs = *ms;
    }
    if (isSet("hangup-after")) {
        const auto n = parseCount(parser, QStringLiteral("hangup-after"), 1, error);
        if (!n)
            return error;
        result.hangupAfter = *n;
    }
    if (isSet("hangup-in-reply")) {
        const auto n = parseCount(parser, QStringLiteral("hangup-in-reply"), 0, error);
        if (!n)
            return error;
        result.hangupInReply = *n;
    }
    if (isSet("fault-on")) {
        result.faultKinds = CommandKinds();
        for (const QString& name : parser.values(QStringLiteral("fault-on"))) {
            const std::optional<CommandKind> kind = commandKindByName(name.toLatin1());
            if (!kind)
                return QStringLiteral("--fault-on '%1': expected one of %2")
                    .arg(name, kFaultKindNames);
            result.faultKinds.insert(*kind);
        }
    }
    return std::nullopt;
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays a TQ-8400 controller on a pseudo-terminal for demos, training and "
                       "tests."));
    parser.addOptions(optionList());

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.text = parser.errorText();
        return result;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        result.action = CommandLine::Action::ShowHelp;
        result.text = parser.helpText() + QLatin1String(kLayouts);
        return result;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        result.action = CommandLine::Action::ShowVersion;
        result.text = QStringLiteral("tq8400-sim %1\n").arg(QCoreApplication::applicationVersion());
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.text =
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
        return result;
    }
    if (const std::optional<QString> error = readValues(parser, result.options)) {
        result.text = *error;
        return result;
    }
    result.action = CommandLine::Action::Run;
    return result;
}

void configure(const Options& options, Controller& controller) {
    if (options.identity)
        controller.setIdentity(*options.identity);
    for (const auto& [slot, word] : options.setupWords)
        controller.setSetupWord(slot, word);
    for (const auto& [slot, volts] : options.voltages)
        controller.setVoltage(slot, volts);
    for (const auto& [slot, range] : options.ranges)
        controller.setRange(slot, range.first, range.second);
    controller.setFaultKinds(options.faultKinds);
    controller.setSilent(options.silent);
    for (const QByteArray& body : options.ignoreFirst)
        controller.addIgnoreFirst(body);
    controller.setPartialLength(options.partialLength);
    controller.setGarbage(options.garbage, options.seed);
    controller.setHangupInReply(options.hangupInReply);
}

} // namespace sim
