// The file of sensor voltages the simulator reads again before each live reply: what each
// kind of line does to the channels' voltages, and that the reading follows them through the
// calibration held.
#include "sim/controller.h"
#include "sim/input_file.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace {

using sim::Controller;

bool writeFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(contents) == contents.size();
}

TEST(SimInputFile, UsableLinesSetTheirChannelsAndAnythingElseKeepsTheVoltage) {
    // Channel 30 (slot 0) starts at 1.00 V, 31 at 1.25 V, 45 (slot 13) at 4.25 V.
    struct Case {
        const char* what;
        QByteArray contents;
        std::map<int, double> volts; // slot, volts afterwards
        QStringList problems;
    };
    const QString notAssignment = QStringLiteral(
        "line %1: '%2' is not CH=VOLTS with CH one of 30..37, 40..45 and VOLTS 0..5");
    const std::vector<Case> cases = {
        {"one channel", "30=2.5\n", {{0, 2.5}, {1, 1.25}}, {}},
        {"blanks, CR LF, comments, the limits, the last line counts",
         "# reference\r\n\r\n 30 = 0 \r\n45=5\r\n30=4.5\r\n",
         {{0, 4.5}, {13, 5.0}},
         {}},
        {"wrong lines keep the voltage, right ones around them still count",
         "30=5.01\n38=1\n31=abc\n=2\n31\n45=-0.1\n44=3\n",
         {{0, 1.0}, {1, 1.25}, {12, 3.0}, {13, 4.25}},
         {notAssignment.arg(1).arg("30=5.01"), notAssignment.arg(2).arg("38=1"),
          notAssignment.arg(3).arg("31=abc"), notAssignment.arg(4).arg("=2"),
          notAssignment.arg(5).arg("31"), notAssignment.arg(6).arg("45=-0.1")}},
        {"a last line without a line end may be half written",
         "31=2\n30=1.",
         {{0, 1.0}, {1, 2.0}},
         {"line 2: '30=1.' has no line end yet"}},
        {"an empty file changes nothing", "", {{0, 1.0}, {1, 1.25}}, {}},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("volts.txt"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(writeFile(path, c.contents));
        Controller controller;
        EXPECT_EQ(sim::InputFile(path).applyTo(controller), c.problems);
        for (const auto& [slot, volts] : c.volts)
            EXPECT_DOUBLE_EQ(controller.voltage(slot), volts) << "slot " << slot;
    }

    // A file that cannot be read keeps every voltage and says why.
    Controller controller;
    controller.setVoltage(0, 3.0);
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    const QStringList problems = sim::InputFile(missing).applyTo(controller);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].startsWith("cannot read '" + missing + "': "))
        << qPrintable(problems[0]);
    EXPECT_DOUBLE_EQ(controller.voltage(0), 3.0);
}

TEST(SimInputFile, TheReadingFollowsTheFileThroughTheCalibrationWritten) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const sim::InputFile file(dir.filePath(QStringLiteral("volts.txt")));
    Controller controller;
    const auto readingAt = [&](const QByteArray& line) {
        EXPECT_TRUE(writeFile(file.path(), line));
        EXPECT_TRUE(file.applyTo(controller).isEmpty());
        return controller.liveReading(0).left(6);
    };
    // Channel 30, 0 - 100 PSIG over counts 409 .. 3685 until a calibration write.
    EXPECT_EQ(readingAt("30=2.5\n"), "  50.0");
    EXPECT_EQ(readingAt("30=4.5\n"), " 100.0");
    for (const char* command : {">(00T ON)", ">(00TC 00 0409 +000.0 3685 +090.0)", ">(00T OFF)"})
        ASSERT_EQ(controller.handle(command).bytes, "OK\r") << command;
    EXPECT_EQ(readingAt("30=4.5\n"), "  90.0");
    EXPECT_EQ(readingAt("30=0.5\n"), "   0.0");
}

} // namespace
