// The calibration report file written on every Accept: the file made from the template when
// there is none, the record in the accepted channel's row and nowhere else, the texts fitted to
// their columns, and the two boxes when the file cannot be opened, the second of which closes
// the workbench.
#include "app/module1.h"
#include "fakes.h"
#include "platform/masked_edit.h"
#include "workbench/channel_table.h"
#include "workbench/frm_calibrate_sensor.h"
#include "workbench/report_file.h"
#include "workbench_harness.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

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
        ASSERT_TRUE(dir.isValid());
        workbench::setReportDirectoryForTests(dir.path());
        form.Timer1->stop();
        form.medSensorRangeLo->setMask(QStringLiteral("&###.#"));
        form.medSensorRangeHi->setMask(QStringLiteral("&###.#"));
        setFields("0.500", "4.500", "+000.0", "+050.0");
    }
    void TearDown() override {
        workbench::setReportDirectoryForTests(QString());
        Module1::ResetSharedState();
    }

    QString reportPath() const { return dir.path() + QStringLiteral("/CalData.txt"); }

    void setFields(const QString& loVolts, const QString& hiVolts, const QString& rangeLo,
                   const QString& rangeHi) {
        ASSERT_TRUE(form.medSensorLoVolts->setText(loVolts)) << qPrintable(loVolts);
        ASSERT_TRUE(form.medSensorHiVolts->setText(hiVolts)) << qPrintable(hiVolts);
        ASSERT_TRUE(form.medSensorRangeLo->setText(rangeLo)) << qPrintable(rangeLo);
        ASSERT_TRUE(form.medSensorRangeHi->setText(rangeHi)) << qPrintable(rangeHi);
    }

    // Puts the channel on display as a load would, without talking to the controller.
    void selectChannel(const QString& channel) {
        form.iChannelButton = 1;
        form.cboChannelNumber->setCurrentText(channel);
        form.iChannelButton = 0;
        ASSERT_EQ(form.cboChannelNumber->currentText(), channel);
        Module1::vChannelIndex = workbench::channelByListText(channel)->index;
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
        ASSERT_TRUE(form.UpdateReportFile(form.TakeAcceptSnapshot())) << qPrintable(channel);
    }

    // A file of the given length whose every byte differs from its neighbours and from the
    // characters of a record, so that any stray write shows.
    static QByteArray patternFile(int length) {
        QByteArray bytes(length, '\0');
        for (int i = 0; i < length; ++i)
            bytes[i] = static_cast<char>(0x80 + i % 97);
        return bytes;
    }

    QTemporaryDir dir;
    testsupport::WorkbenchHarness harness;
    testsupport::BoxAnswerer boxes;
    frmCalibrateSensor form;
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
    EXPECT_EQ(workbench::reportTemplate(), expectedTemplate());
    EXPECT_EQ(form.oAddress, 370);
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
    writeReport(patternFile(674));
    const QByteArray before = readReport();

    setFields("0.100", "4.900", "-015.5", "+250.0");
    accept("30");
    QByteArray after = readReport();
    ASSERT_EQ(after.size(), 674);
    EXPECT_EQ(after.left(55), before.left(55));
    EXPECT_EQ(after.mid(55, 34), "0.100    4.900    -015.5    +250.0");
    EXPECT_EQ(after.mid(89), before.mid(89));
    EXPECT_EQ(form.oAddress, 55);

    setFields("1.320", "3.620", "+000.0", "+500.0");
    accept("45");
    const QByteArray last = readReport();
    ASSERT_EQ(last.size(), 674);
    EXPECT_EQ(last.left(640), after.left(640));
    EXPECT_EQ(last.mid(640), "1.320    3.620    +000.0    +500.0");
    EXPECT_EQ(form.oAddress, 640);
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

TEST_F(ReportFileTest, AFileOfAnotherLayoutKeepsItsOtherBytes) {
    // Longer than the template: only the record's 34 bytes change, the length stays.
    const QByteArray longer = patternFile(1000);
    writeReport(longer);
    accept("42");
    QByteArray expected = longer;
    expected.replace(505, 34, "0.500    4.500    +000.0    +050.0");
    EXPECT_EQ(readReport(), expected);

    // Shorter than the channel's offset and not empty: no template is written over it; the
    // record still goes to the channel's offset and the first bytes stay as they were.
    const QByteArray shorter = "my own notes\r\n";
    writeReport(shorter);
    accept("31");
    const QByteArray file = readReport();
    ASSERT_EQ(file.size(), 100 + 34);
    EXPECT_EQ(file.left(shorter.size()), shorter);
    EXPECT_FALSE(file.contains("CHANNEL"));
    EXPECT_EQ(file.mid(100), "0.500    4.500    +000.0    +050.0");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ReportFileTest, TextsOfAnotherWidthArePaddedOrCutToTheirColumns) {
    for (platform::MaskEdBox* field : {form.medSensorLoVolts, form.medSensorHiVolts,
                                       form.medSensorRangeLo, form.medSensorRangeHi})
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

    EXPECT_EQ(workbench::reportRecord("0.5", "", "+50", "+050.00"),
              "0.5               +50       +050.0");
}

TEST_F(ReportFileTest, NoChannelInTheListRecordsNothing) {
    writeReport(expectedTemplate());
    form.iChannelButton = 1;
    form.cboChannelNumber->setCurrentIndex(-1);
    form.iChannelButton = 0;
    Module1::vChannelIndex.reset();
    form.oAddress = 119;

    EXPECT_TRUE(form.UpdateReportFile(form.TakeAcceptSnapshot()));
    EXPECT_EQ(readReport(), expectedTemplate());
    EXPECT_EQ(form.oAddress, 119);

    // Nor is a missing file made.
    ASSERT_TRUE(QFile::remove(reportPath()));
    EXPECT_TRUE(form.UpdateReportFile(form.TakeAcceptSnapshot()));
    EXPECT_FALSE(QFile::exists(reportPath()));
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
    workbench::setReportDirectoryForTests(notADirectory);
    const QString shown = QDir::toNativeSeparators(notADirectory + QStringLiteral("/CalData.txt"));
    QSignalSpy finished(&form, &QDialog::finished);
    form.Timer1->start();
    bool timerRanAtSecondBox = false;
    boxes.onShow = [&](const testsupport::ShownBox&) {
        timerRanAtSecondBox = form.Timer1->isActive();
    };

    selectChannel("37");
    EXPECT_FALSE(form.UpdateReportFile(form.TakeAcceptSnapshot()));

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
    EXPECT_FALSE(form.Timer1->isActive());
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), int(QDialog::Rejected));
    EXPECT_EQ(form.result(), int(QDialog::Rejected));

    QFile file(notADirectory);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "contents");
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
    EXPECT_FALSE(form.UpdateReportFile(form.TakeAcceptSnapshot()));

    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_TRUE(boxes.shown[1].text.endsWith(" File.\r\nClick OK to EXIT"));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_TRUE(QFileInfo(reportPath()).isDir());
    QFile file(inside);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "kept");
}

} // namespace
