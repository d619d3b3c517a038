// "tq8400-cal --verify-log": a log checked against what a filed certificate states of it (the
// chain value of its last line and how many lines that was), the tool run as a technician runs
// it, on logs cut short, changed, rebuilt or never there.
#include "command_support.h"
#include "records/calibration_log.h"
#include "records/report_file.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using namespace command_test;

const QString kLog = QStringLiteral("LOG");
const QString kPending = QStringLiteral("PENDING");

// One log, what the command is asked, and what it answers.
struct Case {
    const char* what;
    std::optional<QByteArray> log;     // none: no log file at all
    std::optional<QByteArray> pending; // none: no pending file
    QStringList arguments;             // kLog stands for the log's full name
    int status;
    // A phrase of the answer (standard output for status 0, standard error otherwise);
    // kLog and kPending stand for the files' names as the tool shows them.
    QString says;
};

// The lines, each with its line end, chained on from `previousChain`.
std::vector<QByteArray> chainedLines(const std::vector<records::CalibrationLogEntry>& entries,
                                     QByteArray previousChain) {
    std::vector<QByteArray> lines;
    for (const records::CalibrationLogEntry& entry : entries) {
        lines.push_back(records::calibrationLogLine(entry, previousChain));
        previousChain = chainOf(lines.back());
    }
    return lines;
}

QByteArray joined(const std::vector<QByteArray>& lines, size_t from, size_t to) {
    QByteArray bytes;
    for (size_t i = from; i < to && i < lines.size(); ++i)
        bytes += lines[i];
    return bytes;
}

TEST(VerifyLogTest, TellsIntactCutBrokenRebuiltAndBadArgumentsApartByStatusAndLine) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Five Accepts, written by the workbench's own writer: file lines 2 to 6.
    std::vector<records::CalibrationLogEntry> entries;
    for (const char* channel : {"30", "31", "32", "33", "34"})
        entries.push_back(acceptOf(QString::fromLatin1(channel), QStringLiteral("pat")));
    records::setReportDirectoryForTests(dir.path());
    for (const records::CalibrationLogEntry& entry : entries)
        ASSERT_EQ(records::appendCalibrationLog(entry, records::LogFailureBox::Silent),
                  records::LogOutcome::InLog);
    records::setReportDirectoryForTests(QString());
    const QByteArray header = records::calibrationLogHeader();
    const QByteArray written = bytesOf(dir.filePath(QStringLiteral("CalLog.csv")));
    const std::vector<QByteArray> lines = chainedLines(entries, records::headerChain());
    ASSERT_EQ(written, header + joined(lines, 0, 5)); // the writer chains as the test does
    const QString chain3 = QString::fromLatin1(chainOf(lines[2]));
    const QString chain5 = QString::fromLatin1(chainOf(lines[4]));
    const QByteArray whole = header + joined(lines, 0, 5);

    // Line 3 (file line 4) with a reading changed by hand.
    QByteArray changed3 = lines[2];
    ASSERT_EQ(changed3.count("18.7 PSIG"), 1);
    changed3.replace("18.7 PSIG", "19.9 PSIG");
    // The same Accepts re-chained from a first line of another user: intact, another chain.
    std::vector<records::CalibrationLogEntry> rebuiltEntries = entries;
    rebuiltEntries[0].user = QStringLiteral("kim");
    const std::vector<QByteArray> rebuilt = chainedLines(rebuiltEntries, records::headerChain());
    // Line 5 made again, its chain worked out anew from line 4.
    records::CalibrationLogEntry remade = entries[4];
    remade.readingAfter = QStringLiteral("99.9 PSIG");
    const QByteArray remade5 = records::calibrationLogLine(remade, chainOf(lines[3]));
    // The last two Accepts waiting in the pending file, and the second of them changed there.
    const QByteArray pending = header + joined(lines, 3, 5);
    QByteArray changedPending = pending;
    ASSERT_EQ(changedPending.count("COM2"), 2);
    changedPending.replace(changedPending.lastIndexOf("COM2"), 4, "COM9");

    const QStringList intact5 = {QStringLiteral("--verify-log"), kLog,
                                 QStringLiteral("--chain"),      chain5,
                                 QStringLiteral("--lines"),      QStringLiteral("5")};
    const auto asking = [&](const QString& chain, const QString& count) {
        return QStringList{QStringLiteral("--verify-log"), kLog, QStringLiteral("--chain"), chain,
                           QStringLiteral("--lines"),      count};
    };
    const std::vector<Case> cases = {
        {"intact", whole, {}, intact5, 0, QStringLiteral("first 5 lines of LOG (to line 6)")},
        {"intact, upper-case chain, fewer lines than the log holds",
         whole,
         {},
         asking(chain3.toUpper(), QStringLiteral("3")),
         0,
         QStringLiteral("first 3 lines of LOG (to line 4)")},
        {"a change after line N does not count",
         header + joined(lines, 0, 4) + remade5,
         {},
         asking(chain3, QStringLiteral("3")),
         0,
         QStringLiteral("(to line 4)")},
        {"intact over the pending file", header + joined(lines, 0, 3), pending, intact5, 0,
         QStringLiteral("(to line 3 of the pending file PENDING)")},
        {"last line removed",
         header + joined(lines, 0, 4),
         {},
         intact5,
         3,
         QStringLiteral("holds 4 lines after its header, not the 5 asked for; it ends at line 5")},
        {"cut to fewer lines",
         header + joined(lines, 0, 2),
         {},
         intact5,
         3,
         QStringLiteral("holds 2 lines after its header, not the 5 asked for; it ends at line 3")},
        {"header only", header, {}, intact5, 3, QStringLiteral("holds 0 lines after its header")},
        {"a cell of a middle line changed",
         header + joined(lines, 0, 2) + changed3 + joined(lines, 3, 5),
         {},
         intact5,
         4,
         QStringLiteral("LOG, line 4: changed")},
        {"a middle line removed",
         header + joined(lines, 0, 2) + joined(lines, 3, 5),
         {},
         asking(chain5, QStringLiteral("4")),
         4,
         QStringLiteral("LOG, line 4: changed")},
        {"changed and cut: the change is told",
         header + joined(lines, 0, 2) + changed3,
         {},
         intact5,
         4,
         QStringLiteral("LOG, line 4: changed")},
        {"a pending line changed", header + joined(lines, 0, 3), changedPending, intact5, 4,
         QStringLiteral("line 3 of the pending file PENDING: changed")},
        {"rebuilt from a changed first line",
         header + joined(rebuilt, 0, 5),
         {},
         intact5,
         5,
         QStringLiteral("(to line 6) are chained, but end in %1, not %2")
             .arg(QString::fromLatin1(chainOf(rebuilt[4])), chain5)},
        {"line N made again with another chain",
         header + joined(lines, 0, 4) + remade5,
         {},
         intact5,
         5,
         QStringLiteral("end in %1, not %2").arg(QString::fromLatin1(chainOf(remade5)), chain5)},
        {"no log", std::nullopt, {}, intact5, 1, QStringLiteral("no such file")},
        {"another header",
         QByteArray("date,user,channel\r\n") + joined(lines, 0, 5),
         {},
         intact5,
         1,
         QStringLiteral("does not begin with the header")},
        {"no --chain",
         whole,
         {},
         {QStringLiteral("--verify-log"), kLog, QStringLiteral("--lines"), QStringLiteral("5")},
         2,
         QStringLiteral("are all needed")},
        {"--lines twice",
         whole,
         {},
         intact5 + QStringList{QStringLiteral("--lines"), QStringLiteral("5")},
         2,
         QStringLiteral("--lines is given twice")},
        {"--chain without its value",
         whole,
         {},
         {QStringLiteral("--verify-log"), kLog, QStringLiteral("--lines"), QStringLiteral("5"),
          QStringLiteral("--chain")},
         2,
         QStringLiteral("--chain needs a value")},
        {"no log named",
         whole,
         {},
         {QStringLiteral("--verify-log")},
         2,
         QStringLiteral("needs a value")},
        {"lines 0", whole, {}, asking(chain5, QStringLiteral("0")), 2, QStringLiteral("\"0\"")},
        {"lines negative",
         whole,
         {},
         asking(chain5, QStringLiteral("-5")),
         2,
         QStringLiteral("\"-5\"")},
        {"lines not whole",
         whole,
         {},
         asking(chain5, QStringLiteral("5.0")),
         2,
         QStringLiteral("\"5.0\"")},
        {"lines too many to count",
         whole,
         {},
         asking(chain5, QStringLiteral("99999999999")),
         2,
         QStringLiteral("\"99999999999\"")},
        {"chain shortened to 63 digits",
         whole,
         {},
         asking(chain5.left(63), QStringLiteral("5")),
         2,
         QStringLiteral("64 hexadecimal digits")},
        {"chain of 65 digits",
         whole,
         {},
         asking(chain5 + QLatin1Char('0'), QStringLiteral("5")),
         2,
         QStringLiteral("64 hexadecimal digits")},
        {"chain not hexadecimal",
         whole,
         {},
         asking(chain5.left(63) + QLatin1Char('g'), QStringLiteral("5")),
         2,
         QStringLiteral("64 hexadecimal digits")},
        {"an unknown option",
         whole,
         {},
         intact5 + QStringList{QStringLiteral("--open")},
         2,
         QStringLiteral("unexpected argument \"--open\"")},
    };

    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString caseDir = dir.filePath(QStringLiteral("case%1").arg(++n));
        ASSERT_TRUE(QDir().mkpath(caseDir));
        const QString log = QDir(caseDir).filePath(QStringLiteral("CalLog.csv"));
        if (c.log) {
            ASSERT_TRUE(writeBytes(log, *c.log));
        }
        if (c.pending) {
            ASSERT_TRUE(writeBytes(records::pendingLogPath(log), *c.pending));
        }
        QStringList arguments = c.arguments;
        arguments.replaceInStrings(kLog, log);
        const Finished answer = runTool(arguments);
        EXPECT_EQ(answer.exitCode, c.status) << qPrintable(answer.out + answer.err);
        QString says = c.says;
        says.replace(kPending, QDir::toNativeSeparators(records::pendingLogPath(log)))
            .replace(kLog, QDir::toNativeSeparators(log));
        const QString told = c.status == 0 ? answer.out : answer.err;
        EXPECT_TRUE(told.contains(says)) << qPrintable(says) << "\nnot in: " << qPrintable(told);
        // Nothing on the other stream, and the log named in every answer.
        EXPECT_TRUE((c.status == 0 ? answer.err : answer.out).isEmpty())
            << qPrintable(answer.out + answer.err);
        if (c.status != 2) {
            EXPECT_TRUE(told.contains(QDir::toNativeSeparators(log))) << qPrintable(told);
        }
        // Only read: the files are as they were.
        if (c.log) {
            EXPECT_EQ(bytesOf(log), *c.log);
        }
        if (c.pending) {
            EXPECT_EQ(bytesOf(records::pendingLogPath(log)), *c.pending);
        }
    }
}

} // namespace
