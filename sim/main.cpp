// tq8400-sim: plays a TQ-8400 controller on a pseudo-terminal, for demos, training and tests.
// The protocol lives in tq_sim_core; this file holds the options, the pty, the poll() loop,
// the reply timing and the logging.
#include "sim/controller.h"
#include "sim/framing.h"
#include "sim/reply_queue.h"
#include "sim/transcript.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

// One character at 9600 bit/s with 8N1 framing: ten bits.
constexpr qint64 kCharacterNs = 10LL * 1000000000LL / 9600;

// Input is taken at most this many bytes per turn of the loop, so a tool flooding the line
// cannot keep the loop from sending replies or from noticing a stop signal.
constexpr size_t kReadChunk = 4096;

// --hangup-after: how long the last reply is given to be read before the line goes.
constexpr int kHangupSettleMs = 50;
constexpr int kHangupWaitMs = 3000;
constexpr int kHangupCheckMs = 10;

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

Setup words (bits 15-12 sensor type, 11-8 unit, low byte unused), by default:
  30 0x1200  31 0x9000  32 0x8135  33 0x0300  34 0x2807  35 0x3400  36 0x45FF
  37 0x5600  40 0x6280  41 0x7700  42 0x8001  43 0x9100  44 0x1340  45 0x0200
Types: 0 "0 - 50" .. 6 "0 - 5000", 7 NONE, 8 Deg1, 9 Deg2. Units: 0 Fahrenheit,
1 Celsius, 2 PSIG, 3 KPa, 4 RPM, 5 Hg., 6 BAR, 7 NONE, 8 PSIA.

Faults: a command lost to --silent or --ignore-first has no effect. --garbage and
--partial apply to every reply (garbage first), and the command still takes effect.
--hangup-after counts every received line, recognised or not, and hangs up once the
tool has read the last reply (at most 3 s after it was sent); lines that arrive after
the N-th are logged as ignored.

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

struct Options {
    QString linkPath;
    QString logPath;
    bool verbose = false;
    bool pace = false;
    int delayMs = 0;
    int hangupAfter = 0; // 0: never
};

[[noreturn]] void usageError(const QString& message) {
    std::fprintf(stderr, "tq8400-sim: %s\nTry 'tq8400-sim --help'.\n", qPrintable(message));
    std::exit(kExitUsage);
}

int parseCount(const QCommandLineParser& parser, const QString& name, int minimum) {
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < minimum)
        usageError(QStringLiteral("--%1 needs a whole number of at least %2, not '%3'")
                       .arg(name)
                       .arg(minimum)
                       .arg(parser.value(name)));
    return value;
}

// "CH=VALUE" with CH one of the channel numbers; returns the slot and the value text.
std::pair<int, QString> parseAssignment(const QString& option, const QString& text) {
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    bool ok = false;
    const int channel = text.left(equals).toInt(&ok);
    const int slot = ok && equals > 0 ? sim::slotOfChannel(channel) : -1;
    if (slot < 0)
        usageError(QStringLiteral("--%1 '%2': expected CH=VALUE with CH one of 30..37, 40..45")
                       .arg(option, text));
    return {slot, text.mid(equals + 1)};
}

quint16 parseWord(const QString& text) {
    bool ok = false;
    uint value = 0;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        value = text.mid(2).toUInt(&ok, 16);
    else
        value = text.toUInt(&ok, 10);
    if (!ok || value > 0xFFFF)
        usageError(
            QStringLiteral("--setup: '%1' is not a word 0..65535 (decimal or 0x hex)").arg(text));
    return static_cast<quint16>(value);
}

Options parseOptions(const QCoreApplication& app, sim::Controller& controller) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays a TQ-8400 controller on a pseudo-terminal for demos, training and "
                       "tests."));
    const QList<QCommandLineOption> options = {
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
        {QStringLiteral("pace"),
         QStringLiteral("Send replies at the line's 9600 bit/s (about 1.04 ms per byte).")},
        {QStringLiteral("log"),
         QStringLiteral("Write one JSON line per command received and reply sent to FILE."),
         QStringLiteral("FILE")},
        {{QStringLiteral("v"), QStringLiteral("verbose")},
         QStringLiteral("Print a readable trace of the exchange to stderr.")},
    };
    parser.addOptions(options);
    if (!parser.parse(app.arguments()))
        usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        std::fputs(kLayouts, stdout);
        std::exit(0);
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("tq8400-sim %s\n", qPrintable(app.applicationVersion()));
        std::exit(0);
    }
    if (!parser.positionalArguments().isEmpty())
        usageError(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    Options result;
    result.linkPath = parser.value(QStringLiteral("link"));
    result.logPath = parser.value(QStringLiteral("log"));
    result.verbose = parser.isSet(QStringLiteral("verbose"));
    result.pace = parser.isSet(QStringLiteral("pace"));
    if (parser.isSet(QStringLiteral("link")) && result.linkPath.isEmpty())
        usageError(QStringLiteral("--link needs a path"));
    if (parser.isSet(QStringLiteral("log")) && result.logPath.isEmpty())
        usageError(QStringLiteral("--log needs a file name"));

    if (parser.isSet(QStringLiteral("identity")))
        controller.setIdentity(parser.value(QStringLiteral("identity")).toLatin1());
    for (const QString& text : parser.values(QStringLiteral("setup"))) {
        const auto [slot, value] = parseAssignment(QStringLiteral("setup"), text);
        controller.setSetupWord(slot, parseWord(value));
    }
    for (const QString& text : parser.values(QStringLiteral("voltage"))) {
        const auto [slot, value] = parseAssignment(QStringLiteral("voltage"), text);
        bool ok = false;
        const double volts = value.toDouble(&ok);
        if (!ok || volts < 0.0 || volts > 5.0)
            usageError(QStringLiteral("--voltage '%1': volts must be 0..5").arg(text));
        controller.setVoltage(slot, volts);
    }
    controller.setSilent(parser.isSet(QStringLiteral("silent")));
    for (const QString& body : parser.values(QStringLiteral("ignore-first")))
        controller.addIgnoreFirst(body.toLatin1());
    if (parser.isSet(QStringLiteral("partial")))
        controller.setPartialLength(parseCount(parser, QStringLiteral("partial"), 0));
    if (parser.isSet(QStringLiteral("garbage")) || parser.isSet(QStringLiteral("seed"))) {
        quint32 seed = 8400;
        if (parser.isSet(QStringLiteral("seed"))) {
            bool ok = false;
            seed = parser.value(QStringLiteral("seed")).toUInt(&ok);
            if (!ok)
                usageError(QStringLiteral("--seed needs a whole number 0..4294967295"));
        }
        controller.setGarbage(parser.isSet(QStringLiteral("garbage")), seed);
    }
    if (parser.isSet(QStringLiteral("delay")))
        result.delayMs = parseCount(parser, QStringLiteral("delay"), 0);
    if (parser.isSet(QStringLiteral("hangup-after")))
        result.hangupAfter = parseCount(parser, QStringLiteral("hangup-after"), 1);
    return result;
}

// Stop requests from signal handlers reach the poll() loop through this pipe.
int g_signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void onStopSignal(int signal) {
    const int savedErrno = errno;
    g_stopSignal = signal;
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
    errno = savedErrno;
}

bool setNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

void drainSignalPipe() {
    char bytes[64];
    while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
    }
}

void installSignalHandlers() {
    if (::pipe(g_signalPipe) != 0) {
        std::perror("tq8400-sim: pipe");
        std::exit(kExitFailure);
    }
    setNonBlocking(g_signalPipe[0]);
    setNonBlocking(g_signalPipe[1]);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

class Simulator {
  public:
    Simulator(sim::Controller& controller, const Options& options)
        : controller_(controller), options_(options) {
        clock_.start();
    }

    ~Simulator() { shutDown(); }

    bool openLog();
    bool openPty();
    bool publishLink();
    void announceReady();
    int run();
    void shutDown();

    // The replies lost to a full reply queue or a full line, if any, as a last note.
    void noteDropTotals();

  private:
    double nowMs() const { return clock_.nsecsElapsed() / 1e6; }
    void trace(const char* direction, QByteArrayView bytes, const sim::LineNotes& notes = {});
    void record(sim::Direction direction, QByteArrayView bytes, const sim::LineNotes& notes = {});
    void note(const QByteArray& text);
    bool readInput();
    void handleLine(const sim::LineAssembler::Line& line);
    bool sendDue();
    int pollTimeoutMs() const;
    bool readyToHangUp();
    void removeLink();

    sim::Controller& controller_;
    const Options& options_;
    sim::LineAssembler assembler_;
    QElapsedTimer clock_;
    std::FILE* log_ = nullptr;
    int master_ = -1;
    int slave_ = -1;
    QByteArray slaveName_;
    QByteArray linkPath_;
    bool linkPublished_ = false;
    sim::ReplyQueue replies_;
    // 64 bits: no flood lasts long enough to wrap them.
    quint64 linesReceived_ = 0;
    quint64 repliesCutShort_ = 0; // by a full tool's side of the pty
    quint64 bytesCutShort_ = 0;
    bool hangupPending_ = false;
    qint64 hangupSinceNs_ = -1;
};

void Simulator::note(const QByteArray& text) {
    std::fprintf(stderr, "[%10.3f] %s\n", nowMs(), text.constData());
}

void Simulator::trace(const char* direction, QByteArrayView bytes, const sim::LineNotes& notes) {
    if (!options_.verbose)
        return;
    QByteArray text = QByteArray(direction) + ' ' + sim::readableBytes(bytes);
    if (notes.ignored)
        text += "   (ignored)";
    if (notes.unknown)
        text += "   (unknown)";
    if (notes.overlong)
        text += "   (overlong, cut)";
    if (notes.dropped)
        text += "   (reply dropped, queue full)";
    note(text);
}

// Drops are noted at the 1st, 2nd, 4th, 8th ... one, so a flood does not flood stderr as well;
// noteDropTotals() gives the final counts.
bool worthNoting(quint64 count) {
    return count != 0 && (count & (count - 1)) == 0;
}

void Simulator::record(sim::Direction direction, QByteArrayView bytes,
                       const sim::LineNotes& notes) {
    if (log_) {
        const QByteArray line = sim::jsonLogLine(nowMs(), direction, bytes, notes);
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), log_);
        std::fflush(log_);
    }
    trace(direction == sim::Direction::In ? "in " : "out", bytes, notes);
}

bool Simulator::openLog() {
    if (options_.logPath.isEmpty())
        return true;
    log_ = std::fopen(QFile::encodeName(options_.logPath).constData(), "w");
    if (!log_) {
        std::fprintf(stderr, "tq8400-sim: cannot write the log '%s': %s\n",
                     qPrintable(options_.logPath), std::strerror(errno));
        return false;
    }
    return true;
}

bool Simulator::openPty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        std::perror("tq8400-sim: pseudo-terminal");
        return false;
    }
    const char* name = ::ptsname(master_);
    if (!name) {
        std::perror("tq8400-sim: ptsname");
        return false;
    }
    slaveName_ = name;
    // Our own descriptor of the tool's side stays open for the whole run, so the tool closing
    // the port never hangs up the line and it can open the port again.
    slave_ = ::open(slaveName_.constData(), O_RDWR | O_NOCTTY);
    if (slave_ < 0) {
        std::perror("tq8400-sim: opening the pty");
        return false;
    }
    termios settings{};
    if (::tcgetattr(slave_, &settings) != 0) {
        std::perror("tq8400-sim: tcgetattr");
        return false;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    if (::tcsetattr(slave_, TCSANOW, &settings) != 0) {
        std::perror("tq8400-sim: tcsetattr");
        return false;
    }
    if (!setNonBlocking(master_)) {
        std::perror("tq8400-sim: fcntl");
        return false;
    }
    return true;
}

bool Simulator::publishLink() {
    if (options_.linkPath.isEmpty())
        return true;
    linkPath_ = QFile::encodeName(options_.linkPath);
    struct stat existing {};
    if (::lstat(linkPath_.constData(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        std::fprintf(stderr, "tq8400-sim: '%s' exists and is not a symbolic link\n",
                     linkPath_.constData());
        return false;
    }
    // Made under a temporary name and renamed over PATH, so PATH is never missing or half made.
    const QByteArray temporary = linkPath_ + ".tmp-" + QByteArray::number(::getpid());
    ::unlink(temporary.constData());
    if (::symlink(slaveName_.constData(), temporary.constData()) != 0 ||
        ::rename(temporary.constData(), linkPath_.constData()) != 0) {
        std::fprintf(stderr, "tq8400-sim: cannot make the link '%s': %s\n", linkPath_.constData(),
                     std::strerror(errno));
        ::unlink(temporary.constData());
        return false;
    }
    linkPublished_ = true;
    return true;
}

void Simulator::announceReady() {
    const QByteArray where = linkPath_.isEmpty() ? slaveName_ : linkPath_;
    std::printf("tq8400-sim: ready on %s\n", where.constData());
    std::fflush(stdout);
    if (options_.verbose && !linkPath_.isEmpty())
        note("link " + linkPath_ + " -> " + slaveName_);
}

void Simulator::removeLink() {
    if (!linkPublished_)
        return;
    linkPublished_ = false;
    // Only our own link goes; another simulator may have taken the name over meanwhile.
    char target[4096];
    const ssize_t length = ::readlink(linkPath_.constData(), target, sizeof target - 1);
    if (length >= 0 && QByteArrayView(target, length) == QByteArrayView(slaveName_))
        ::unlink(linkPath_.constData());
}

void Simulator::noteDropTotals() {
    if (replies_.dropped() > 0)
        note(QByteArray::number(replies_.dropped()) +
             " replies dropped in all: the reply queue was full");
    if (repliesCutShort_ > 0)
        note(QByteArray::number(repliesCutShort_) + " replies cut short in all (" +
             QByteArray::number(bytesCutShort_) +
             " bytes lost): the tool's side of the pty was full");
}

void Simulator::shutDown() {
    removeLink();
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
    master_ = slave_ = -1;
    if (log_)
        std::fclose(log_);
    log_ = nullptr;
}

void Simulator::handleLine(const sim::LineAssembler::Line& line) {
    ++linesReceived_;
    sim::LineNotes notes;
    notes.overlong = line.overlong;
    sim::Response response;
    if (hangupPending_)
        response.kind = sim::Response::Kind::Ignored; // arrived after the last command
    else if (!line.overlong)
        response = controller_.handle(line.text);
    notes.ignored = response.kind == sim::Response::Kind::Ignored;
    notes.unknown = response.kind == sim::Response::Kind::Unknown;
    if (response.hasReply()) {
        const qint64 due = clock_.nsecsElapsed() + qint64(options_.delayMs) * 1000000;
        notes.dropped = !replies_.push(due, response.bytes);
    }
    record(sim::Direction::In, line.text, notes);
    if (notes.dropped && worthNoting(replies_.dropped()))
        note("dropped the reply to " + sim::readableBytes(line.text) + ": " +
             QByteArray::number(replies_.size()) + " replies are waiting already (" +
             QByteArray::number(replies_.dropped()) + " dropped so far)");

    if (options_.hangupAfter > 0 && linesReceived_ == quint64(options_.hangupAfter))
        hangupPending_ = true;
}

// Takes one chunk of input, at most kReadChunk bytes; what else is waiting is read on the next
// turn of the loop, after the due replies have gone and a stop signal has been looked for.
bool Simulator::readInput() {
    char buffer[kReadChunk];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n > 0) {
        for (const auto& line : assembler_.feed(QByteArrayView(buffer, n)))
            handleLine(line);
        return true;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
        return true;
    std::fprintf(stderr, "tq8400-sim: reading the pty failed: %s\n",
                 n == 0 ? "end of file" : std::strerror(errno));
    return false;
}

// Writes the replies whose time has come: whole at once, or one byte per character time with
// --pace. A reply the tool's side has no room for is dropped, as bytes are lost on a real line
// that nobody reads.
bool Simulator::sendDue() {
    while (!replies_.empty()) {
        sim::ReplyQueue::Reply& reply = replies_.front();
        const qint64 now = clock_.nsecsElapsed();
        if (reply.dueNs > now)
            return true;
        if (!reply.logged) {
            record(sim::Direction::Out, reply.bytes);
            reply.logged = true;
        }
        const qsizetype remaining = reply.bytes.size() - reply.sent;
        if (remaining == 0) {
            replies_.pop();
            continue;
        }
        const qsizetype chunk = options_.pace ? 1 : remaining;
        const ssize_t n =
            ::write(master_, reply.bytes.constData() + reply.sent, static_cast<size_t>(chunk));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            std::fprintf(stderr, "tq8400-sim: writing the pty failed: %s\n", std::strerror(errno));
            return false;
        }
        if (n > 0)
            reply.sent += n;
        if (reply.sent == reply.bytes.size()) {
            replies_.pop();
        } else if (options_.pace && n > 0) {
            reply.dueNs += kCharacterNs; // keeps the average rate when poll() wakes late
        } else {
            const qsizetype lost = reply.bytes.size() - reply.sent;
            ++repliesCutShort_;
            bytesCutShort_ += quint64(lost);
            if (worthNoting(repliesCutShort_))
                note("dropped " + QByteArray::number(lost) +
                     " reply bytes: the tool's side of the pty is full (" +
                     QByteArray::number(repliesCutShort_) + " replies cut short so far)");
            replies_.pop();
        }
    }
    return true;
}

int Simulator::pollTimeoutMs() const {
    if (replies_.empty())
        return -1;
    const qint64 waitNs = replies_.front().dueNs - clock_.nsecsElapsed();
    if (waitNs <= 0)
        return 0;
    const qint64 waitMs = (waitNs + 999999) / 1000000;
    return static_cast<int>(qMin<qint64>(waitMs, std::numeric_limits<int>::max()));
}

// Hanging up throws away what the tool has not read yet, so the last reply is given time to
// be read first: the line goes once the tool's side holds no unread bytes, after a short
// settling time for bytes still on their way into it, or at the latest after kHangupWaitMs.
bool Simulator::readyToHangUp() {
    const qint64 now = clock_.nsecsElapsed();
    if (hangupSinceNs_ < 0)
        hangupSinceNs_ = now;
    const qint64 waitedMs = (now - hangupSinceNs_) / 1000000;
    if (waitedMs < kHangupSettleMs)
        return false;
    int unread = 0;
    return ::ioctl(slave_, FIONREAD, &unread) != 0 || unread == 0 || waitedMs >= kHangupWaitMs;
}

int Simulator::run() {
    while (g_stopSignal == 0) {
        if (!sendDue())
            return kExitFailure;
        int timeoutMs = pollTimeoutMs();
        if (hangupPending_ && replies_.empty()) {
            if (readyToHangUp()) {
                if (options_.verbose)
                    note("hanging up after " + QByteArray::number(options_.hangupAfter) +
                         " commands");
                shutDown();
                return 0;
            }
            timeoutMs = kHangupCheckMs;
        }
        pollfd fds[2] = {{master_, POLLIN, 0}, {g_signalPipe[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::perror("tq8400-sim: poll");
            return kExitFailure;
        }
        // The stop request is looked at before any input: the loop condition ends the run.
        if (fds[1].revents & POLLIN) {
            drainSignalPipe();
            continue;
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            if (!readInput())
                return kExitFailure;
        }
    }
    if (options_.verbose)
        note("stopped by signal " + QByteArray::number(int(g_stopSignal)));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tq8400-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));

    sim::Controller controller;
    const Options options = parseOptions(app, controller);

    installSignalHandlers();
    Simulator simulator(controller, options);
    if (!simulator.openLog() || !simulator.openPty() || !simulator.publishLink())
        return kExitFailure;
    simulator.announceReady();
    const int status = simulator.run();
    simulator.shutDown();
    simulator.noteDropTotals();
    return status;
}
