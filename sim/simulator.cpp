#include "sim/simulator.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace sim {

namespace {

// Input is taken at most this many bytes per turn of the loop, so a tool flooding the line
// cannot keep the loop from sending replies or from noticing a stop signal.
constexpr size_t kReadChunk = 4096;

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

void setNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

void drainSignalPipe() {
    char bytes[64];
    while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
    }
}

// Drops are noted at the 1st, 2nd, 4th, 8th ... one, so a flood does not flood stderr as well;
// noteDropTotals() gives the final counts.
bool worthNoting(quint64 count) {
    return count != 0 && (count & (count - 1)) == 0;
}

} // namespace

bool installStopSignals() {
    if (::pipe(g_signalPipe) != 0) {
        std::perror("tq8400-sim: pipe");
        return false;
    }
    setNonBlocking(g_signalPipe[0]);
    setNonBlocking(g_signalPipe[1]);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

Simulator::Simulator(Controller& controller, const Options& options)
    : controller_(controller), options_(options),
      replies_(clock_, ReplyScheduler::Timing{options.delayMs, options.pace}) {
    if (!options.inputFilePath.isEmpty())
        inputFile_.emplace(options.inputFilePath);
}

void Simulator::note(const QByteArray& text) {
    std::fprintf(stderr, "[%10.3f] %s\n", nowMs(), text.constData());
}

void Simulator::trace(const char* direction, QByteArrayView bytes, const LineNotes& notes) {
    if (!options_.verbose)
        return;
    QByteArray text = QByteArray(direction) + ' ' + readableBytes(bytes);
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

void Simulator::record(Direction direction, QByteArrayView bytes, const LineNotes& notes) {
    if (log_) {
        const QByteArray line = jsonLogLine(nowMs(), direction, bytes, notes);
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), log_);
        std::fflush(log_);
    }
    trace(direction == Direction::In ? "in " : "out", bytes, notes);
}

bool Simulator::open() {
    if (!options_.logPath.isEmpty()) {
        log_ = std::fopen(QFile::encodeName(options_.logPath).constData(), "w");
        if (!log_) {
            std::fprintf(stderr, "tq8400-sim: cannot write the log '%s': %s\n",
                         qPrintable(options_.logPath), std::strerror(errno));
            return false;
        }
    }
    if (!link_.open() || (!options_.linkPath.isEmpty() && !link_.publish(options_.linkPath))) {
        std::fprintf(stderr, "tq8400-sim: %s\n", qPrintable(link_.error()));
        return false;
    }
    return true;
}

void Simulator::announceReady() {
    std::printf("tq8400-sim: ready on %s\n", link_.toolPath().constData());
    std::fflush(stdout);
    if (options_.verbose && !link_.linkPath().isEmpty())
        note("link " + link_.linkPath() + " -> " + link_.toolSideName());
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
    link_.close();
    if (log_)
        std::fclose(log_);
    log_ = nullptr;
}

void Simulator::handleLine(const LineAssembler::Line& line) {
    ++linesReceived_;
    LineNotes notes;
    notes.overlong = line.overlong;
    Response response;
    if (replies_.hangupPending())
        response.kind = Response::Kind::Ignored; // arrived after the last command
    else if (!line.overlong) {
        applyInputFile(line.text);
        response = controller_.handle(line.text);
    }
    notes.ignored = response.kind == Response::Kind::Ignored;
    notes.unknown = response.kind == Response::Kind::Unknown;
    if (response.hasReply())
        notes.dropped = !replies_.queue(response.bytes, response.faulted);
    record(Direction::In, line.text, notes);
    if (notes.dropped && worthNoting(replies_.dropped()))
        note("dropped the reply to " + readableBytes(line.text) + ": " +
             QByteArray::number(replies_.waiting()) + " replies are waiting already (" +
             QByteArray::number(replies_.dropped()) + " dropped so far)");

    if (replies_.hangupPending())
        return;
    if (response.lastBeforeHangup) {
        hangupReason_ = "in the middle of a reply";
        replies_.hangUpWhenSent();
    } else if (options_.hangupAfter > 0 && linesReceived_ == quint64(options_.hangupAfter)) {
        hangupReason_ = "after " + QByteArray::number(options_.hangupAfter) + " commands";
        replies_.hangUpWhenSent();
    }
}

// Before a live reply the input file sets the voltages again; its problems are noted when they
// change, not on every reading.
void Simulator::applyInputFile(QByteArrayView line) {
    if (!inputFile_)
        return;
    const std::optional<Command> command = parseCommand(line);
    if (!command || command->kind != CommandKind::LiveReading)
        return;
    const QStringList problems = inputFile_->applyTo(controller_);
    if (problems == inputProblems_)
        return;
    inputProblems_ = problems;
    for (const QString& problem : problems)
        note("input file: " + problem.toLocal8Bit());
}

// Takes one chunk of input, at most kReadChunk bytes; what else is waiting is read on the next
// turn of the loop, after the due replies have gone and a stop signal has been looked for.
bool Simulator::readInput() {
    char buffer[kReadChunk];
    const ssize_t n = link_.read(buffer, sizeof buffer);
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

// Writes what the scheduler says is due. A reply the tool's side has no room for is cut short,
// as bytes are lost on a real line that nobody reads.
bool Simulator::sendDue() {
    while (const std::optional<ReplyScheduler::Piece> piece = replies_.duePiece()) {
        if (piece->starts)
            record(Direction::Out, piece->reply);
        ssize_t n = 0;
        if (!piece->bytes.isEmpty()) {
            n = link_.write(piece->bytes.data(), static_cast<size_t>(piece->bytes.size()));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                std::fprintf(stderr, "tq8400-sim: writing the pty failed: %s\n",
                             std::strerror(errno));
                return false;
            }
        }
        const ReplyScheduler::Written written = replies_.wrote(n > 0 ? n : 0);
        if (written.lost > 0) {
            ++repliesCutShort_;
            bytesCutShort_ += quint64(written.lost);
            if (worthNoting(repliesCutShort_))
                note("dropped " + QByteArray::number(written.lost) +
                     " reply bytes: the tool's side of the pty is full (" +
                     QByteArray::number(repliesCutShort_) + " replies cut short so far)");
        }
    }
    return true;
}

int Simulator::run() {
    while (g_stopSignal == 0) {
        if (!sendDue())
            return kExitFailure;
        if (replies_.hangupPending() && replies_.empty() &&
            replies_.readyToHangUp(link_.unreadOnToolSide())) {
            if (options_.verbose)
                note("hanging up " + hangupReason_);
            shutDown();
            return 0;
        }
        pollfd fds[2] = {{link_.descriptor(), POLLIN, 0}, {g_signalPipe[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, replies_.pollTimeoutMs());
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

} // namespace sim
