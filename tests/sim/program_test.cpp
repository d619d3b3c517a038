// The tq8400-sim program on a real pseudo-terminal: the link, reopening the port, the log,
// the options and hanging up.
#include "sim/controller.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kDeadlineMs = 5000;

// The built programs are in TQ_BIN_DIR, or else next to this test program.
QString simulatorPath() {
    QString directory = qEnvironmentVariable("TQ_BIN_DIR");
    if (directory.isEmpty())
        directory = QCoreApplication::applicationDirPath();
    return QDir(directory).filePath(QStringLiteral("tq8400-sim"));
}

bool pathExists(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// Opens the port as the tool does: read and write, raw, 9600 8N1.
int openPort(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    termios settings{};
    ::tcgetattr(fd, &settings);
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    ::tcsetattr(fd, TCSANOW, &settings);
    return fd;
}

bool writeAll(int fd, const QByteArray& bytes) {
    return ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
}

// Reads until `count` bytes have come or the deadline has passed.
QByteArray readBytes(int fd, qsizetype count, int timeoutMs = kDeadlineMs) {
    QByteArray received;
    QDeadlineTimer deadline(timeoutMs);
    while (received.size() < count && !deadline.hasExpired()) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(qMin<qint64>(deadline.remainingTime(), 50))) <= 0)
            continue;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            received.append(buffer, n);
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            break; // hung up
    }
    return received;
}

QByteArray transact(int fd, const QByteArray& body, qsizetype replyLength) {
    if (!writeAll(fd, ">(" + body + ")\r\n"))
        return {};
    return readBytes(fd, replyLength);
}

// A log line's text field back as bytes: each code point is one byte.
QByteArray bytesOf(const QJsonObject& entry) {
    QByteArray result;
    for (QChar c : entry.value(QStringLiteral("text")).toString())
        result.append(static_cast<char>(c.unicode()));
    return result;
}

QList<QJsonObject> readLog(const QString& path) {
    QList<QJsonObject> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.constData();
        entries.append(document.object());
    }
    return entries;
}

// Waits until the log holds at least `count` lines.
QList<QJsonObject> waitForLog(const QString& path, qsizetype count) {
    QDeadlineTimer deadline(kDeadlineMs);
    QList<QJsonObject> entries = readLog(path);
    while (entries.size() < count && !deadline.hasExpired()) {
        QTest::qWait(10);
        entries = readLog(path);
    }
    return entries;
}

class SimProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(QFileInfo(simulatorPath()).isExecutable()) << qPrintable(simulatorPath());
        ASSERT_TRUE(dir_.isValid());
        link_ = dir_.filePath(QStringLiteral("ttyTQ"));
        log_ = dir_.filePath(QStringLiteral("exchange.jsonl"));
    }

    void TearDown() override {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(kDeadlineMs);
        }
    }

    // Starts the simulator on link_ with the log and waits for its ready line.
    bool start(QStringList arguments) {
        arguments << QStringLiteral("--link") << link_ << QStringLiteral("--log") << log_;
        process_.start(simulatorPath(), arguments);
        if (!process_.waitForStarted(kDeadlineMs))
            return false;
        QDeadlineTimer deadline(kDeadlineMs);
        while (!stdout_.contains('\n') && !deadline.hasExpired()) {
            process_.waitForReadyRead(static_cast<int>(qMin<qint64>(deadline.remainingTime(), 50)));
            stdout_ += process_.readAllStandardOutput();
        }
        return stdout_ == "tq8400-sim: ready on " + QFile::encodeName(link_) + '\n';
    }

    QTemporaryDir dir_;
    QString link_;
    QString log_;
    QProcess process_;
    QByteArray stdout_;
};

TEST_F(SimProgram, IdentityThroughTheLinkSurvivesReopeningAndIsLogged) {
    ASSERT_TRUE(start({})) << stdout_.constData();
    ASSERT_TRUE(QFileInfo(link_).isSymLink());

    for (int round = 0; round < 2; ++round) {
        const int fd = openPort(link_);
        ASSERT_GE(fd, 0) << "round " << round << ": " << std::strerror(errno);
        EXPECT_EQ(transact(fd, "00F00 RX 22", 22), sim::Controller::defaultIdentity())
            << "round " << round;
        ::close(fd);
    }

    const QList<QJsonObject> entries = waitForLog(log_, 4);
    ASSERT_EQ(entries.size(), 4);
    double previous = -1.0;
    for (int i = 0; i < 4; ++i) {
        const QJsonObject& entry = entries[i];
        const bool in = i % 2 == 0;
        EXPECT_EQ(entry.value(QStringLiteral("dir")).toString(),
                  in ? QStringLiteral("in") : QStringLiteral("out"));
        EXPECT_EQ(bytesOf(entry),
                  in ? QByteArray(">(00F00 RX 22)") : sim::Controller::defaultIdentity());
        EXPECT_FALSE(entry.contains(QStringLiteral("ignored")));
        EXPECT_FALSE(entry.contains(QStringLiteral("unknown")));
        const double t = entry.value(QStringLiteral("t")).toDouble(-1.0);
        EXPECT_GE(t, previous);
        previous = t;
    }

    process_.terminate();
    ASSERT_TRUE(process_.waitForFinished(kDeadlineMs));
    EXPECT_EQ(process_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process_.exitCode(), 0);
    EXPECT_FALSE(pathExists(link_));
}

TEST_F(SimProgram, OptionsSetIdentitySetupWordsAndVoltages) {
    ASSERT_TRUE(
        start({QStringLiteral("--identity"), QStringLiteral("SHORT"), QStringLiteral("--setup"),
               QStringLiteral("30=0x9100"), QStringLiteral("--setup"), QStringLiteral("45=513"),
               QStringLiteral("--voltage"), QStringLiteral("30=0.5")}))
        << stdout_.constData();
    const int fd = openPort(link_);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(transact(fd, "00F00 RX 22", 5), "SHORT");
    EXPECT_EQ(transact(fd, "00TRX 112", 13), ">112:000,145\r");
    EXPECT_EQ(transact(fd, "00TRX 125", 13), ">125:001,002\r");
    EXPECT_EQ(transact(fd, "00TRX 113", 13), ">113:000,144\r"); // channel 31 keeps its default
    // Deg2 Celsius (-40..300) at 0.5 V, the bottom of the default calibration.
    EXPECT_EQ(transact(fd, "0140A RX 11", 11), QByteArray(" -40.0\xDF"
                                                          "C\0\0\0",
                                                          11));
    ::close(fd);
    const QList<QJsonObject> entries = waitForLog(log_, 10);
    ASSERT_EQ(entries.size(), 10);
    EXPECT_EQ(bytesOf(entries[1]), "SHORT"); // nothing was added to the short identity
    EXPECT_EQ(entries[9].value(QStringLiteral("text")).toString(), QString::fromLatin1(" -40.0\xDF"
                                                                                       "C\0\0\0",
                                                                                       11));
}

TEST_F(SimProgram, InputFileIsReadAgainBeforeEachLiveReply) {
    const QString input = dir_.filePath(QStringLiteral("volts.txt"));
    // Written whole under another name and renamed over the file, as the help advises.
    const auto apply = [&](const QByteArray& contents) {
        QFile file(input + QStringLiteral(".part"));
        return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() &&
               file.flush() && (QFile::remove(input) || !QFile::exists(input)) &&
               file.rename(input);
    };
    ASSERT_TRUE(start({QStringLiteral("--input-file"), input})) << stdout_.constData();
    const int fd = openPort(link_);
    ASSERT_GE(fd, 0);
    // Channel 30, 0 - 100 PSIG over 0.5 .. 4.5 V until a calibration write; 1.00 V at first,
    // and still while the file is missing.
    EXPECT_EQ(transact(fd, "0140A RX 11", 11), "  12.5 PSIG");
    ASSERT_TRUE(apply("30=2.5\n"));
    EXPECT_EQ(transact(fd, "0140A RX 11", 11), "  50.0 PSIG");
    ASSERT_TRUE(apply("30=abc\n"));
    EXPECT_EQ(transact(fd, "0140A RX 11", 11), "  50.0 PSIG");
    ASSERT_TRUE(apply("30=4.5\n"));
    EXPECT_EQ(transact(fd, "00T ON", 3), "OK\r");
    EXPECT_EQ(transact(fd, "00TC 00 0409 +000.0 3685 +090.0", 3), "OK\r");
    EXPECT_EQ(transact(fd, "00T OFF", 3), "OK\r");
    EXPECT_EQ(transact(fd, "0140A RX 11", 11), "  90.0 PSIG");
    ASSERT_TRUE(QFile::remove(input));
    EXPECT_EQ(transact(fd, "0140A RX 11", 11), "  90.0 PSIG");
    ::close(fd);

    process_.terminate();
    ASSERT_TRUE(process_.waitForFinished(kDeadlineMs));
    EXPECT_EQ(process_.exitCode(), 0);
    // Each problem is told once, when it appears, not on every reply.
    const QByteArray told = process_.readAllStandardError();
    EXPECT_EQ(told.count("input file: cannot read '" + QFile::encodeName(input) + "'"), 2)
        << told.constData();
    EXPECT_EQ(told.count("input file: line 1: '30=abc' is not CH=VOLTS"), 1) << told.constData();
}

TEST_F(SimProgram, IgnoredCommandIsLoggedThenHangupRemovesTheDevice) {
    ASSERT_TRUE(start({QStringLiteral("--ignore-first"), QStringLiteral("00F00 RX 22"),
                       QStringLiteral("--hangup-after"), QStringLiteral("3")}))
        << stdout_.constData();
    const int fd = openPort(link_);
    ASSERT_GE(fd, 0);

    ASSERT_TRUE(writeAll(fd, ">(00F00 RX 22)\r\n"));
    const QList<QJsonObject> first = waitForLog(log_, 1);
    ASSERT_EQ(first.size(), 1);
    EXPECT_TRUE(first[0].value(QStringLiteral("ignored")).toBool());
    // Nothing may follow: the next bytes on the line belong to the next command's reply.
    ASSERT_TRUE(writeAll(fd, ">(bogus)\r\n"));
    EXPECT_EQ(transact(fd, "00F00 RX 22", 22), sim::Controller::defaultIdentity());

    // The third line was the last one: the simulator hangs up and goes.
    ASSERT_TRUE(process_.waitForFinished(kDeadlineMs));
    EXPECT_EQ(process_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process_.exitCode(), 0);
    EXPECT_FALSE(pathExists(link_));
    EXPECT_TRUE(readBytes(fd, 1).isEmpty());
    ::close(fd);

    const QList<QJsonObject> entries = readLog(log_);
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(bytesOf(entries[1]), ">(bogus)");
    EXPECT_TRUE(entries[1].value(QStringLiteral("unknown")).toBool());
    EXPECT_EQ(entries[2].value(QStringLiteral("dir")).toString(), QStringLiteral("in"));
    EXPECT_FALSE(entries[2].contains(QStringLiteral("ignored")));
    EXPECT_EQ(entries[3].value(QStringLiteral("dir")).toString(), QStringLiteral("out"));
}

TEST_F(SimProgram, StaleLinkIsReplacedButAFileIsNot) {
    ASSERT_EQ(::symlink("/nonexistent/pts/99", QFile::encodeName(link_).constData()), 0);
    ASSERT_TRUE(start({})) << stdout_.constData();
    const int fd = openPort(link_);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(transact(fd, "00TRX 112", 13), ">112:000,018\r");
    ::close(fd);
    process_.terminate();
    ASSERT_TRUE(process_.waitForFinished(kDeadlineMs));
    EXPECT_FALSE(pathExists(link_));

    QFile file(link_);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    QProcess refused;
    refused.start(simulatorPath(), {QStringLiteral("--link"), link_});
    ASSERT_TRUE(refused.waitForFinished(kDeadlineMs));
    EXPECT_NE(refused.exitCode(), 0);
    EXPECT_TRUE(refused.readAllStandardOutput().isEmpty());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "keep me");
}

} // namespace
