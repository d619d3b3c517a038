// The calibration report file written on every Accept: the file made from the template when
// there is none, the record in the accepted channel's row and nowhere else, the texts fitted to
// their columns, the two boxes when the file cannot be opened, the second of which closes the
// workbench, the Retry box of a file that is there but held by another program or read-only,
// the boxes when a file cannot take the record, and a row that is never left half written by a
// program killed meanwhile.
#include "fakes.h"
#include "form_controls.h"
#include "platform/files/file_hold.h"
#include "platform/files/file_sync.h"
#include "platform/widgets/masked_edit.h"
#include "platform/widgets/message_box.h"
#include "records/channel_table.h"
#include "records/report_file.h"
#include "report_update_child.h"
#include "shell/module1.h"
#include "workbench/controller_identity.h"
#include "workbench/frm_calibrate_sensor.h"
#include "workbench_harness.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMessageBox>
#include <QOperatingSystemVersion>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalBlocker>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <optional>

using workbench::frmCalibrateSensor;

namespace {

const char* const kChannels[] = {"30", "31", "32", "33", "34", "35", "36",
                                 "37", "40", "41", "42", "43", "44", "45"};
const QByteArray kHeader = "CHANNEL  LoVolt   HiVolt   LoRange   HiRange";
const QByteArray kTail = "     xxx.x    x.xxx    +xxx.x    +xxx.x";

// The template as the file format lays it out, built here line by line.
QByteArray expectedTemplate() {
    QByteArray bytes = kHeader;
    for (const char* channel : kChannels)
        bytes += QByteArray("\r\nCH") + channel + kTail;
    return bytes;
}

class ReportFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Module1::ResetSharedState();
        workbench::ControllerIdentity::instance().reset();
        ASSERT_TRUE(dir.isValid());
        records::setReportDirectoryForTests(dir.path());
        ui.Timer1->stop();
        ui.medSensorRangeLo->setMask(QStringLiteral("&###.#"));
        ui.medSensorRangeHi->setMask(QStringLiteral("&###.#"));
        setFields("0.500", "4.500", "+000.0", "+050.0");
    }
    void TearDown() override {
        platform::setFileFailureForTests(platform::FileStep::Write, 0);
        platform::setFileFailureForTests(platform::FileStep::Sync, 0);
        records::setReportDirectoryForTests(QString());
        Module1::ResetSharedState();
        workbench::ControllerIdentity::instance().reset();
    }

    QString reportPath() const { return dir.path() + QStringLiteral("/CalData.txt"); }

    void setFields(const QString& loVolts, const QString& hiVolts, const QString& rangeLo,
                   const QString& rangeHi) {
        ASSERT_TRUE(ui.medSensorLoVolts->setText(loVolts)) << qPrintable(loVolts);
        ASSERT_TRUE(ui.medSensorHiVolts->setText(hiVolts)) << qPrintable(hiVolts);
        ASSERT_TRUE(ui.medSensorRangeLo->setText(rangeLo)) << qPrintable(rangeLo);
        ASSERT_TRUE(ui.medSensorRangeHi->setText(rangeHi)) << qPrintable(rangeHi);
    }

    // Puts the channel on display as a load would, without talking to the controller: the list
    // shows it without telling the workbench, and the channel index is set.
    void selectChannel(const QString& channel) {
        {
            const QSignalBlocker quiet(ui.cboChannelNumber);
            ui.cboChannelNumber->setCurrentText(channel);
        }
        ASSERT_EQ(ui.cboChannelNumber->currentText(), channel);
        Module1::vChannelIndex = records::channelByListText(channel)->index;
    }

    void writeReport(const QByteArray& bytes) {
        QFile file(reportPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QByteArray readReport() const {
        QFile file(reportPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
    }

    // Accepts the channel with the fields as they stand; the update must succeed.
    void accept(const QString& channel) {
        selectChannel(channel);
        const workbench::ReportUpdate update = form.UpdateReportFile(form.TakeAcceptSnapshot());
        ASSERT_TRUE(update.workbenchStaysOpen) << qPrintable(channel);
        ASSERT_TRUE(update.record && update.record->outcome == records::RecordOutcome::Stored)
            << qPrintable(channel);
    }

    // A file of the given length whose every byte differs from its neighbours and from the
    // characters of a record, so that any stray write shows.
    static QByteArray patternFile(int length) {
        QByteArray bytes(length, '\0');
        for (int i = 0; i < length; ++i)
            bytes[i] = static_cast<char>(0x80 + i % 97);
        return bytes;
    }

    // The same with every channel's row label where the template has it, so that each row
    // can take its record.
    static QByteArray withRowLabels(QByteArray bytes) {
        for (const records::ChannelInfo& channel : records::channelTable())
            bytes.replace(channel.reportOffset - 9, 9, records::reportRowLabel(channel));
        return bytes;
    }

    QTemporaryDir dir;
    testsupport::WorkbenchHarness harness;
    testsupport::BoxAnswerer boxes;
    frmCalibrateSensor form;
    testsupport::WorkbenchControls ui{form};
};

// --- A file made from the template ---

TEST_F(ReportFileTest, NoFileThenAcceptOfChannel37MakesTheTemplateWithTheRecordInLine9) {
    ASSERT_FALSE(QFile::exists(reportPath()));
    std::vector<bool> existedAtBox;
    boxes.onShow = [&](const testsupport::ShownBox&) {
        existedAtBox.push_back(QFile::exists(reportPath()));
    };

    accept("37");

    // One box, before the file is made, naming the full file name and the file it makes.
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].style, 0);
    EXPECT_EQ(boxes.shown[0].title, "TQ-8400VedadaRav");
    EXPECT_EQ(boxes.shown[0].text, "Error!  Cannot Open " + QDir::toNativeSeparators(reportPath()) +
                                       " File.\r\nClick OK to Generate New CalData.txt File.");
    EXPECT_EQ(existedAtBox, std::vector<bool>{false});

    const QByteArray file = readReport();
    ASSERT_EQ(file.size(), 674);
    const QList<QByteArray> lines = file.split('\n');
    ASSERT_EQ(lines.size(), 15);
    EXPECT_EQ(lines[0], kHeader + "\r");
    EXPECT_EQ(lines[8], "CH37     0.500    4.500    +000.0    +050.0\r");
    EXPECT_TRUE(file.endsWith("CH45     xxx.x    x.xxx    +xxx.x    +xxx.x"));

    QByteArray expected = expectedTemplate();
    expected.replace(370, 34, "0.500    4.500    +000.0    +050.0");
    EXPECT_EQ(file, expected);
    EXPECT_EQ(records::reportTemplate(), expectedTemplate());
    EXPECT_EQ(form.result(), 0);
}

TEST_F(ReportFileTest, AnEmptyFileGetsTheTemplateWithoutABox) {
    writeReport(QByteArray());
    ASSERT_TRUE(QFile::exists(reportPath()));

    accept("40");

    EXPECT_TRUE(boxes.shown.empty());
    QByteArray expected = expectedTemplate();
    expected.replace(415, 34, "0.500    4.500    +000.0    +050.0");
    EXPECT_EQ(readReport(), expected);
}

// --- The record in place ---

TEST_F(ReportFileTest, FirstAndLastChannelWriteOnlyTheirDataArea) {
    writeReport(withRowLabels(patternFile(674)));
    const QByteArray before = readReport();

    setFields("0.100", "4.900", "-015.5", "+250.0");
    accept("30");
    QByteArray after = readReport();
    ASSERT_EQ(after.size(), 674);
    EXPECT_EQ(after.left(55), before.left(55));
    EXPECT_EQ(after.mid(55, 34), "0.100    4.900    -015.5    +250.0");
    EXPECT_EQ(after.mid(89), before.mid(89));

    setFields("1.320", "3.620", "+000.0", "+500.0");
    accept("45");
    const QByteArray last = readReport();
    ASSERT_EQ(last.size(), 674);
    EXPECT_EQ(last.left(640), after.left(640));
    EXPECT_EQ(last.mid(640), "1.320    3.620    +000.0    +500.0");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ReportFileTest, SameChannelTwiceKeepsOnlyTheSecondValues) {
    setFields("0.500", "4.500", "+000.0", "+050.0");
    accept("33");
    setFields("1.250", "3.750", "-040.0", "+125.5");
    accept("33");

    QByteArray expected = expectedTemplate();
    expected.replace(190, 34, "1.250    3.750    -040.0    +125.5");
    EXPECT_EQ(readReport(), expected);
    // Only the first Accept found no file.
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(ReportFileTest, ALongerFileWithTheRowLabelsKeepsItsOtherBytes) {
    // Only the record's 34 bytes change, the length stays.
    const QByteArray longer = withRowLabels(patternFile(1000));
    writeReport(longer);
    accept("42");
    QByteArray expected = longer;
    expected.replace(505, 34, "0.500    4.500    +000.0    +050.0");
    EXPECT_EQ(readReport(), expected);
    EXPECT_EQ(records::reportRowLabel(*records::channelByListText("42")), "CH42     ");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ReportFileTest, TextsOfAnotherWidthArePaddedOrCutToTheirColumns) {
    for (platform::MaskEdBox* field :
         {ui.medSensorLoVolts, ui.medSensorHiVolts, ui.medSensorRangeLo, ui.medSensorRangeHi})
        field->setMask(QString());
    writeReport(expectedTemplate());

    // Too long, too short, taken with its blanks as it stands, empty.
    setFields("12.3456", "1", " -1.5 ", "");
    accept("37");
    QByteArray expected = expectedTemplate();
    expected.replace(370, 34, "12.34    1         -1.5           ");
    EXPECT_EQ(readReport(), expected);

    // In the last row a long text would otherwise lengthen the file.
    setFields("9.87654", "1.234567", "+1234.567", "-9999.999");
    accept("45");
    expected.replace(640, 34, "9.876    1.234    +1234.    -9999.");
    EXPECT_EQ(readReport(), expected);
    EXPECT_EQ(readReport().size(), 674);

    EXPECT_EQ(records::reportRecord("0.5", "", "+50", "+050.00"),
              "0.5               +50       +050.0");
}

TEST_F(ReportFileTest, NoChannelInTheListRecordsNothing) {
    writeReport(expectedTemplate());
    accept("37");
    writeReport(expectedTemplate());
    {
        const QSignalBlocker quiet(ui.cboChannelNumber);
        ui.cboChannelNumber->setCurrentIndex(-1);
    }
    Module1::vChannelIndex.reset();

    const workbench::ReportUpdate update = form.UpdateReportFile(form.TakeAcceptSnapshot());
    EXPECT_TRUE(update.workbenchStaysOpen);
    EXPECT_FALSE(update.record.has_value()) << "no record, so no outcome";
    EXPECT_EQ(readReport(), expectedTemplate());

    // Nor is a missing file made.
    ASSERT_TRUE(QFile::remove(reportPath()));
    EXPECT_TRUE(form.UpdateReportFile(form.TakeAcceptSnapshot()).workbenchStaysOpen);
    EXPECT_FALSE(QFile::exists(reportPath()));
    EXPECT_TRUE(boxes.shown.empty());

    // The Accepts leave nothing a channel load reads: picking channel 37 again reads the setup
    // word at its own table address, and its live reading.
    harness.forget();
    testsupport::loadChannel(form, QStringLiteral("37"));
    EXPECT_EQ(harness.commands(),
              (std::vector<QByteArray>{">(00TRX 119)", ">(00TRX 120)", ">(015CA RX 11)"}));
    EXPECT_EQ(form.lastAddress(), 119);
    EXPECT_TRUE(boxes.shown.empty());
}

// --- The file cannot be opened ---

TEST_F(ReportFileTest, AFileThatCannotBeMadeGivesTwoBoxesAndClosesTheWorkbench) {
    // A directory path that is a regular file cannot hold a file, whoever runs the test.
    const QString notADirectory = dir.path() + QStringLiteral("/afile");
    {
        QFile file(notADirectory);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write("contents"), 8);
    }
    records::setReportDirectoryForTests(notADirectory);
    const QString shown = QDir::toNativeSeparators(notADirectory + QStringLiteral("/CalData.txt"));
    QSignalSpy finished(&form, &QDialog::finished);
    ui.Timer1->start();
    bool timerRanAtSecondBox = false;
    boxes.onShow = [&](const testsupport::ShownBox&) {
        timerRanAtSecondBox = ui.Timer1->isActive();
    };

    selectChannel("37");
    const workbench::ReportUpdate update = form.UpdateReportFile(form.TakeAcceptSnapshot());
    EXPECT_FALSE(update.workbenchStaysOpen);
    ASSERT_TRUE(update.record.has_value());
    EXPECT_EQ(update.record->outcome, records::RecordOutcome::CannotOpen);
    EXPECT_FALSE(update.record->reason.isEmpty());

    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].style, 0);
    EXPECT_EQ(boxes.shown[0].title, "TQ-8400VedadaRav");
    EXPECT_EQ(boxes.shown[0].text, "Error!  Cannot Open " + shown +
                                       " File.\r\nClick OK to Generate New CalData.txt File.");
    EXPECT_EQ(boxes.shown[1].style, 0);
    EXPECT_EQ(boxes.shown[1].title, "TQ-8400VedadaRav");
    EXPECT_EQ(boxes.shown[1].text, "Error!  Cannot Open " + shown + " File.\r\nClick OK to EXIT");
    // The timer is stopped once the operator has confirmed, then the workbench is closed.
    EXPECT_TRUE(timerRanAtSecondBox);
    EXPECT_FALSE(ui.Timer1->isActive());
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), int(QDialog::Rejected));
    EXPECT_EQ(form.result(), int(QDialog::Rejected));

    QFile file(notADirectory);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "contents");
}

// The box of a report file that is there but cannot be opened, after an Accept the controller
// took.
QString heldText(const QString& shown, const QString& channel, const QString& reason) {
    return "Error!  Cannot Open " + shown + " File.\r\nReason: " + reason +
           "\r\nIt may be open in another program, or marked read-only: close it there or allow "
           "writing to it, then click Retry.\r\nCancel ends the program, and the record of "
           "channel " +
           channel + " is not stored.\r\nThe controller has already been written.";
}

TEST_F(ReportFileTest, AHeldOrReadOnlyReportFileTakesTheRecordWhenRetriedAfterItIsLetGo) {
    QByteArray stored37 = expectedTemplate();
    stored37.replace(370, 34, "0.500    4.500    +000.0    +050.0");
    const QString shown = QDir::toNativeSeparators(reportPath());
    enum class Kept { ReadOnly, HeldByAnotherProgram };
    for (const Kept kept : {Kept::ReadOnly, Kept::HeldByAnotherProgram}) {
        SCOPED_TRACE(kept == Kept::ReadOnly ? "marked read-only" : "held by another program");
        QFile file(reportPath());
        writeReport(expectedTemplate());
        std::optional<platform::ExclusiveFileHold> hold;
        if (kept == Kept::ReadOnly) {
            ASSERT_TRUE(
                file.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        } else {
            // Only Windows holds a file against other programs; the held log's test does the
            // same.
            hold.emplace(reportPath());
            if (!hold->held()) {
                std::printf("[ note     ] not held here: %s\n", qPrintable(hold->reason()));
                continue;
            }
        }
        const auto letGo = [&] {
            if (hold)
                hold->release();
            else
                ASSERT_TRUE(file.setPermissions(file.permissions() | QFile::WriteOwner));
        };

        // The first Retry comes too soon and the box comes again; the operator lets the file
        // go while the second is shown, and retries.
        boxes.shown.clear();
        boxes.answers = {platform::vbRetry, platform::vbRetry};
        boxes.onShow = [&](const testsupport::ShownBox&) {
            if (boxes.shown.size() == 2)
                letGo();
        };
        QSignalSpy finished(&form, &QDialog::finished);
        selectChannel("37");
        const workbench::ReportUpdate update = form.UpdateReportFile(form.TakeAcceptSnapshot());
        boxes.onShow = nullptr;

        ASSERT_EQ(boxes.shown.size(), 2u);
        for (const testsupport::ShownBox& box : boxes.shown) {
            EXPECT_EQ(box.style, platform::vbRetryCancel);
            EXPECT_EQ(box.title, "TQ-8400VedadaRav");
            const QString prefix = "Error!  Cannot Open " + shown + " File.\r\nReason: ";
            ASSERT_TRUE(box.text.startsWith(prefix)) << qPrintable(box.text);
            const QString reason =
                box.text.mid(prefix.size()).section(QStringLiteral("\r\n"), 0, 0);
            EXPECT_FALSE(reason.trimmed().isEmpty());
            EXPECT_EQ(box.text, heldText(shown, "37", reason));
        }
        EXPECT_TRUE(update.workbenchStaysOpen);
        ASSERT_TRUE(update.record.has_value());
        EXPECT_EQ(update.record->outcome, records::RecordOutcome::Stored);
        EXPECT_EQ(finished.count(), 0);
        EXPECT_EQ(readReport(), stored37);
    }
}

// The box as the operator sees it: Retry is the default button, and Escape gives up.
TEST(ReportFileHeldBox, RetryIsTheDefaultButtonAndEscapeGivesUp) {
    const platform::MessageBoxHandler previous = platform::messageBoxHandler();
    platform::setMessageBoxHandler({});
    const std::pair<Qt::Key, int> cases[] = {{Qt::Key_Return, platform::vbRetry},
                                             {Qt::Key_Escape, platform::vbCancel}};
    for (const auto& [key, answer] : cases) {
        bool pressed = false;
        bool retryAndCancel = false;
        bool retryIsDefault = false;
        QTimer poll;
        const QDeadlineTimer deadline(15000);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                if (deadline.hasExpired())
                    QApplication::exit(); // let the test fail rather than hang
                return;
            }
            poll.stop();
            retryAndCancel = box->standardButtons() == (QMessageBox::Retry | QMessageBox::Cancel);
            retryIsDefault = box->defaultButton() == box->button(QMessageBox::Retry);
            pressed = true;
            QTest::keyClick(box, key);
        });
        poll.start(20);
        EXPECT_EQ(platform::MsgBox(QStringLiteral("held"), platform::vbRetryCancel), answer);
        EXPECT_TRUE(pressed);
        EXPECT_TRUE(retryAndCancel);
        EXPECT_TRUE(retryIsDefault);
    }
    platform::setMessageBoxHandler(previous);
}

TEST_F(ReportFileTest, AReportThatExistsButCannotBeOpenedIsNeverReplaced) {
    // Here the name is taken by a directory holding a file of its own.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("CalData.txt")));
    const QString inside = reportPath() + QStringLiteral("/kept.txt");
    {
        QFile file(inside);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write("kept"), 4);
    }
    QSignalSpy finished(&form, &QDialog::finished);

    selectChannel("30");
    EXPECT_FALSE(form.UpdateReportFile(form.TakeAcceptSnapshot()).workbenchStaysOpen);

    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_TRUE(boxes.shown[1].text.endsWith(" File.\r\nClick OK to EXIT"));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_TRUE(QFileInfo(reportPath()).isDir());
    QFile file(inside);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "kept");
}

// --- A file that cannot take the record ---

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
}

TEST_F(ReportFileTest, AFileThatCannotTakeTheRecordKeepsItsBytesAndSaysWhy) {
    QByteArray stored37 = expectedTemplate();
    stored37.replace(370, 34, "0.500    4.500    +000.0    +050.0");
    QByteArray lineFeedsOnly = expectedTemplate();
    lineFeedsOnly.replace("\r\n", "\n");
    const QByteArray oneByteShort = expectedTemplate().chopped(1);
    const QByteArray notes = "my own notes\r\n";

    // What stands under the report file's name before the Accept.
    enum class Make { Nothing, Bytes, ReadOnly, LinkToFile, Fifo, Directory, LinkToDevice };
    enum class Boxes { None, Layout, WriteFailed, CannotOpen, HeldGivenUp };
    constexpr auto kWrite = platform::FileStep::Write;
    constexpr auto kSync = platform::FileStep::Sync;
    struct Row {
        const char* what;
        Make make;
        QByteArray before; // the regular file's bytes (the link's target's for LinkToFile)
        platform::FileStep failing;
        int osError; // 0: the disk works
        QString channel;
        Boxes boxes;
        QString reason;   // the operating system's reason the write box gives
        QByteArray after; // the regular file's bytes afterwards
    };
    const Row rows[] = {
        {"line feeds only, as an editor may save it",
         Make::Bytes,
         lineFeedsOnly,
         kWrite,
         0,
         "37",
         Boxes::Layout,
         {},
         lineFeedsOnly},
        {"notes shorter than the first row",
         Make::Bytes,
         notes,
         kWrite,
         0,
         "31",
         Boxes::Layout,
         {},
         notes},
        {"one byte short of the last record",
         Make::Bytes,
         oneByteShort,
         kWrite,
         0,
         "45",
         Boxes::Layout,
         {},
         oneByteShort},
        // The operator is asked to allow writing and try again, and gives up.
        {"a read-only report file",
         Make::ReadOnly,
         expectedTemplate(),
         kWrite,
         0,
         "37",
         Boxes::HeldGivenUp,
         {},
         expectedTemplate()},
        {"a FIFO", Make::Fifo, {}, kWrite, 0, "37", Boxes::CannotOpen, {}, {}},
        {"a directory", Make::Directory, {}, kWrite, 0, "37", Boxes::CannotOpen, {}, {}},
        {"a link to a device", Make::LinkToDevice, {}, kWrite, 0, "37", Boxes::CannotOpen, {}, {}},
        {"a full disk", Make::Bytes, expectedTemplate(), kWrite, ENOSPC, "37", Boxes::WriteFailed,
         "No space left on device", expectedTemplate()},
        {"an empty file and a full disk", Make::Bytes, "", kWrite, ENOSPC, "37", Boxes::WriteFailed,
         "No space left on device", ""},
        // Written, but the disk never confirmed it: the record is in the file yet may not
        // survive a power cut, so the box says it was not stored.
        {"a disk that cannot confirm the write", Make::Bytes, expectedTemplate(), kSync, EIO, "37",
         Boxes::WriteFailed, "Input/output error", stored37},
        {"no file and a full disk",
         Make::Nothing,
         {},
         kWrite,
         ENOSPC,
         "37",
         Boxes::CannotOpen,
         {},
         {}},
        {"no file and a disk that cannot confirm",
         Make::Nothing,
         {},
         kSync,
         EIO,
         "37",
         Boxes::CannotOpen,
         {},
         {}},
        {"a link to a report file",
         Make::LinkToFile,
         expectedTemplate(),
         kWrite,
         0,
         "37",
         Boxes::None,
         {},
         stored37},
    };

    // FIFOs, device files and symbolic links are what Unix file systems have; on Windows a
    // report file cannot be any of them.
    const bool unixFiles =
        QOperatingSystemVersion::currentType() != QOperatingSystemVersion::Windows;
    int rowNumber = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (!unixFiles && (row.make == Make::Fifo || row.make == Make::LinkToDevice ||
                           row.make == Make::LinkToFile))
            continue;
        const QString folder = dir.filePath(QString::number(rowNumber++));
        ASSERT_TRUE(QDir().mkpath(folder));
        records::setReportDirectoryForTests(folder);
        const QString path = folder + QStringLiteral("/CalData.txt");
        const QString target = folder + QStringLiteral("/target.txt");
        const QString shown = QDir::toNativeSeparators(path);
        QStringList entries{QStringLiteral("CalData.txt")};
        switch (row.make) {
        case Make::Nothing:
            entries.clear();
            break;
        case Make::Bytes:
        case Make::ReadOnly: {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            ASSERT_EQ(file.write(row.before), row.before.size());
            file.close();
            if (row.make == Make::ReadOnly) {
                ASSERT_TRUE(
                    file.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            }
            break;
        }
        case Make::LinkToFile: {
            QFile file(target);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            ASSERT_EQ(file.write(row.before), row.before.size());
            file.close();
            ASSERT_TRUE(QFile::link(target, path));
            entries << QStringLiteral("target.txt");
            break;
        }
        case Make::Fifo:
            ASSERT_EQ(QProcess::execute(QStringLiteral("mkfifo"), {path}), 0);
            break;
        case Make::Directory:
            ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("CalData.txt")));
            break;
        case Make::LinkToDevice:
            ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), path));
            break;
        }

        boxes.shown.clear();
        selectChannel(row.channel);
        platform::setFileFailureForTests(row.failing, row.osError);
        const workbench::ReportUpdate update = form.UpdateReportFile(form.TakeAcceptSnapshot());
        platform::setFileFailureForTests(row.failing, 0);

        ASSERT_TRUE(update.record.has_value());
        std::vector<QString> expected;
        std::vector<int> expectedStyles;
        switch (row.boxes) {
        case Boxes::None:
            break;
        case Boxes::Layout:
            expected.push_back("Error!  The layout of the report file " + shown +
                               " does not match the CalData.txt layout.\r\nThe record of channel " +
                               row.channel +
                               " was not stored, and the file was left unchanged.\r\n"
                               "The controller has already been written.");
            break;
        case Boxes::WriteFailed:
            expected.push_back("Error!  Cannot write to the report file " + shown +
                               ".\r\nReason: " + row.reason + "\r\nThe record of channel " +
                               row.channel +
                               " was not stored.\r\nThe controller has already been written.");
            break;
        case Boxes::CannotOpen:
            expected.push_back("Error!  Cannot Open " + shown +
                               " File.\r\nClick OK to Generate New CalData.txt File.");
            expected.push_back("Error!  Cannot Open " + shown + " File.\r\nClick OK to EXIT");
            break;
        case Boxes::HeldGivenUp:
            // Nothing is made over a file that is there: no box offers to.
            expected.push_back(heldText(shown, row.channel, update.record->reason));
            expectedStyles.push_back(platform::vbRetryCancel);
            expected.push_back("Error!  Cannot Open " + shown + " File.\r\nClick OK to EXIT");
            break;
        }
        expectedStyles.resize(expected.size(), platform::vbOKOnly);
        std::vector<QString> texts;
        std::vector<int> styles;
        for (const testsupport::ShownBox& box : boxes.shown) {
            texts.push_back(box.text);
            styles.push_back(box.style);
            EXPECT_EQ(box.title, "TQ-8400VedadaRav");
        }
        EXPECT_EQ(texts, expected);
        EXPECT_EQ(styles, expectedStyles);
        // Only a file that cannot be opened, even after making one or asking the operator,
        // closes the workbench.
        EXPECT_EQ(update.workbenchStaysOpen,
                  row.boxes != Boxes::CannotOpen && row.boxes != Boxes::HeldGivenUp);
        // The outcome handed back is the one the boxes told of.
        const auto told = [](Boxes boxes) {
            switch (boxes) {
            case Boxes::None:
                return records::RecordOutcome::Stored;
            case Boxes::Layout:
                return records::RecordOutcome::LayoutMismatch;
            case Boxes::WriteFailed:
                return records::RecordOutcome::WriteFailed;
            case Boxes::CannotOpen:
            case Boxes::HeldGivenUp:
                break;
            }
            return records::RecordOutcome::CannotOpen;
        };
        ASSERT_TRUE(update.record.has_value());
        EXPECT_EQ(update.record->outcome, told(row.boxes));

        const QFileInfo info(path);
        switch (row.make) {
        case Make::Nothing:
            EXPECT_FALSE(info.exists() || info.isSymLink());
            break;
        case Make::Bytes:
        case Make::ReadOnly:
            EXPECT_TRUE(info.isFile() && !info.isSymLink());
            EXPECT_EQ(contentsOf(path), row.after);
            break;
        case Make::LinkToFile:
            EXPECT_TRUE(info.isSymLink());
            EXPECT_EQ(contentsOf(target), row.after);
            break;
        case Make::Fifo:
            EXPECT_TRUE(info.exists() && !info.isFile() && !info.isDir() && !info.isSymLink());
            break;
        case Make::Directory:
            EXPECT_TRUE(info.isDir());
            EXPECT_TRUE(QDir(path).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System |
                                           QDir::NoDotAndDotDot));
            break;
        case Make::LinkToDevice:
            EXPECT_EQ(info.symLinkTarget(), QStringLiteral("/dev/null"));
            break;
        }
        // Nothing else appeared, not even a temporary file of a report that was not made.
        EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                         QDir::NoDotAndDotDot),
                  entries);
    }
}

// --- A program killed while it records ---

TEST(ReportFileCrashTest, AKilledUpdateLeavesTheOldOrTheNewRecordAndNothingElse) {
    using testsupport::kCrashTestUpdates;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("CalData.txt"));

    // Every state the file may be in: the template after n updates, n from 0 to all of them.
    // Each update's record is its own, so every state tells how many updates it holds.
    std::vector<QByteArray> states{records::reportTemplate()};
    QHash<QByteArray, int> updatesIn{{states[0], 0}};
    const auto& channels = records::channelTable();
    for (int n = 0; n < kCrashTestUpdates; ++n) {
        QByteArray next = states.back();
        next.replace(channels[static_cast<size_t>(n) % channels.size()].reportOffset, 34,
                     testsupport::crashTestRecord(n));
        states.push_back(next);
        updatesIn.insert(next, n + 1);
    }
    ASSERT_EQ(updatesIn.size(), kCrashTestUpdates + 1);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(states[0]), states[0].size());
    }

    const quint32 seed = QRandomGenerator::global()->generate();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    QRandomGenerator random(seed);
    QElapsedTimer elapsed;
    elapsed.start();
    // Only a bound against a child that hangs: under Wine on a loaded machine the thousand
    // updates with their kills took over a minute.
    const QDeadlineTimer deadline(180000);
    int inFile = 0;
    int kills = 0;
    constexpr int kStartAttempts = 3;
    int startFailures = 0;
    while (inFile < kCrashTestUpdates) {
        // The child is killed once it has reported this many more updates; at 0 while it is
        // still starting. It keeps recording while the kill is on its way, so the kill lands
        // at any point of an update.
        const int killAfter = static_cast<int>(random.bounded(0u, 40u));
        QProcess child;
        // Under Wine, now and then one of the many children fails to start ("Process failed to
        // start: Internal error."), while the system is still busy with the one just killed.
        // That is the test's own harness, not the update under test: a start that failed is
        // tried again, and the test fails only when the child cannot be started at all. (A
        // child that started may have ended already, its last updates done.)
        QString startErrors;
        bool started = false;
        for (int attempt = 0; attempt < kStartAttempts && !started; ++attempt) {
            child.start(QString::fromUtf8(REPORT_UPDATE_CHILD),
                        {path, QString::number(inFile), QString::number(kCrashTestUpdates)});
            started = child.waitForStarted(int(deadline.remainingTime()));
            if (!started) {
                startErrors += child.errorString() + u'\n';
                ++startFailures;
                if (child.error() != QProcess::FailedToStart)
                    break;
            }
        }
        ASSERT_TRUE(started) << "the child did not start (" << kStartAttempts
                             << " tries at most):\n"
                             << qPrintable(startErrors);

        QByteArray output;
        int reported = inFile; // the updates the child has printed as done
        const auto readReported = [&] {
            output += child.readAllStandardOutput();
            const int lineEnd = output.lastIndexOf('\n');
            if (lineEnd < 0)
                return;
            const int lineStart = output.lastIndexOf('\n', lineEnd - 1) + 1;
            reported = output.mid(lineStart, lineEnd - lineStart).toInt() + 1;
        };
        while (reported < inFile + killAfter && child.state() == QProcess::Running &&
               !deadline.hasExpired()) {
            child.waitForReadyRead(int(deadline.remainingTime()));
            readReported();
        }
        if (child.state() == QProcess::Running) {
            child.kill();
            ++kills;
        }
        // (A child that has ended already needs no waiting for.)
        if (child.state() != QProcess::NotRunning) {
            ASSERT_TRUE(child.waitForFinished(int(deadline.remainingTime())));
        }
        readReported();
        if (child.exitStatus() == QProcess::NormalExit) {
            ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardError().constData();
        }

        const QByteArray bytes = contentsOf(path);
        const int found = updatesIn.value(bytes, -1);
        if (found < 0) {
            // Where the file first differs from the state the child had reported.
            const QByteArray& last = states[static_cast<size_t>(reported)];
            int at = 0;
            while (at < bytes.size() && at < last.size() && bytes[at] == last[at])
                ++at;
            FAIL() << "after " << reported << " updates the file is no state of the updates ("
                   << bytes.size() << " bytes); first difference at byte " << at << ": \""
                   << bytes.mid(at, 45).toStdString() << "\" instead of \""
                   << last.mid(at, 45).toStdString() << "\"";
        }
        // Every update reported is in the file, and at most the one under way besides.
        ASSERT_GE(found, reported);
        ASSERT_LE(found, reported + 1);
        inFile = found;
        ASSERT_FALSE(deadline.hasExpired())
            << "after " << kills << " kills, " << inFile << " updates";
    }
    EXPECT_GE(kills, 10);
    EXPECT_EQ(contentsOf(path), states.back());
    EXPECT_EQ(QDir(dir.path())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("CalData.txt")});
    std::printf("[ crash    ] %d updates, %d kills, %d starts tried again, %lld ms, seed %u\n",
                kCrashTestUpdates, kills, startFailures, static_cast<long long>(elapsed.elapsed()),
                seed);
}

} // namespace
