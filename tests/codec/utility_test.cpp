// Setup word binary texts, byte replacement, and the report file routines.
#include "codec/utility.h"
#include "platform/error_text.h"
#include "platform/file_sync.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <limits>

using namespace Module1;

namespace {

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class CodecReportFile : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
};

} // namespace

TEST(CodecBinaryText, SetupWordBits) {
    EXPECT_EQ(Num2Bin(1), QStringLiteral("0000000000000001"));
    EXPECT_EQ(Num2Bin(4608), QStringLiteral("0001001000000000"));
    EXPECT_EQ(Num2Bin(0), QString(16, QLatin1Char('0')));
    EXPECT_EQ(Num2Bin(65535), QString(16, QLatin1Char('1')));
    // Beyond 16 bits: what a 16-bit register would hold.
    EXPECT_EQ(Num2Bin(65536), QString(16, QLatin1Char('0')));
    EXPECT_EQ(Num2Bin(65536 + 0x9002), QStringLiteral("1001000000000010"));
    EXPECT_EQ(Num2Bin(-1), QString(16, QLatin1Char('1')));
    EXPECT_EQ(Num2Bin(-2), QStringLiteral("1111111111111110"));
    EXPECT_EQ(Num2Bin(std::numeric_limits<qint64>::min()), QString(16, QLatin1Char('0')));

    EXPECT_EQ(Bin2Num(QStringLiteral("0100")), 4);
    EXPECT_EQ(Bin2Num(QStringLiteral("1111")), 15);
    EXPECT_EQ(Bin2Num(QStringLiteral("1001")), 9);
    EXPECT_EQ(Bin2Num(QString()), 0);
    EXPECT_EQ(Bin2Num(QStringLiteral("1x1")), 5);
    EXPECT_EQ(Bin2Num(QStringLiteral(" 1 ")), 2);
    EXPECT_EQ(Bin2Num(QStringLiteral("1") + QString(32, QLatin1Char('0'))), 0);
    EXPECT_EQ(Bin2Num(QStringLiteral("1") + QString(31, QLatin1Char('0'))),
              std::numeric_limits<int>::min());
    for (int word = 0; word <= 65535; ++word)
        ASSERT_EQ(Bin2Num(Num2Bin(word)), word);
}

TEST(CodecBinaryText, ReplaceCharCoversTheWholeLength) {
    QByteArray reply("+12\0\0.5\0x", 9);
    ReplaceChar(reply, '\0', ' ');
    EXPECT_EQ(reply, QByteArray("+12  .5 x"));
    QByteArray degrees("72\xF8"
                       "F\xF8",
                       5);
    ReplaceChar(degrees, '\xF8', '*');
    EXPECT_EQ(degrees, QByteArray("72*F*"));
    QByteArray untouched("abc");
    ReplaceChar(untouched, 'z', 'y');
    EXPECT_EQ(untouched, QByteArray("abc"));
    QByteArray toNul("a b");
    ReplaceChar(toNul, ' ', '\0');
    EXPECT_EQ(toNul, QByteArray("a\0b", 3));
}

TEST_F(CodecReportFile, OpeningAMissingFileGivesNoFile) {
    ASSERT_TRUE(dir.isValid());
    qint32 handle = 7;
    CSFOpen(path("missing.txt"), handle);
    EXPECT_EQ(handle, kNoFile);
    EXPECT_FALSE(QFile::exists(path("missing.txt")));
    CSFOpen(dir.path(), handle);
    EXPECT_EQ(handle, kNoFile);
}

TEST_F(CodecReportFile, CreateMakesAnEmptyFileAndNeverTruncates) {
    ASSERT_TRUE(dir.isValid());
    FCreate(path("new.txt"));
    ASSERT_TRUE(QFile::exists(path("new.txt")));
    EXPECT_EQ(QFile(path("new.txt")).size(), 0);

    writeFile(path("CalData.txt"), "CH30     0.500    4.500    +000.0    +050.0");
    FCreate(path("CalData.txt"));
    EXPECT_EQ(contentsOf(path("CalData.txt")),
              QByteArray("CH30     0.500    4.500    +000.0    +050.0"));
    // Also while the file is open.
    qint32 handle = kNoFile;
    CSFOpen(path("CalData.txt"), handle);
    ASSERT_NE(handle, kNoFile);
    FCreate(path("CalData.txt"));
    FClose(handle);
    EXPECT_EQ(contentsOf(path("CalData.txt")).size(), 43);
}

TEST_F(CodecReportFile, FirstPutAfterCreateWritesFromTheStart) {
    ASSERT_TRUE(dir.isValid());
    FCreate(path("r.txt"));
    qint32 handle = kNoFile;
    CSFOpen(path("r.txt"), handle);
    ASSERT_NE(handle, kNoFile);
    FPut(handle, QByteArray("HEAD\r\n"));
    FPut(handle, QByteArray("a\0b", 3));
    FClose(handle);
    EXPECT_EQ(contentsOf(path("r.txt")), QByteArray("HEAD\r\na\0b", 9));
}

TEST_F(CodecReportFile, SeekAndPutOverwriteInPlace) {
    ASSERT_TRUE(dir.isValid());
    writeFile(path("r.txt"), "0123456789");
    qint32 handle = kNoFile;
    CSFOpen(path("r.txt"), handle);
    ASSERT_NE(handle, kNoFile);
    // Opening never truncates.
    EXPECT_EQ(QFile(path("r.txt")).size(), 10);
    FSeek(handle, 3);
    FPut(handle, "XY");
    FSeek(handle, 0);
    FPut(handle, "A");
    FSeek(handle, -4); // no byte there: the position stays after "A"
    FPut(handle, "B");
    FClose(handle);
    EXPECT_EQ(contentsOf(path("r.txt")), QByteArray("AB2XY56789"));
}

TEST_F(CodecReportFile, PutPastTheEndExtendsTheFile) {
    ASSERT_TRUE(dir.isValid());
    writeFile(path("r.txt"), "0123456789");
    qint32 handle = kNoFile;
    CSFOpen(path("r.txt"), handle);
    ASSERT_NE(handle, kNoFile);
    FSeek(handle, 8);
    FPut(handle, "ABCD");
    FSeek(handle, 20);
    FPut(handle, "Z");
    FClose(handle);
    const QByteArray bytes = contentsOf(path("r.txt"));
    ASSERT_EQ(bytes.size(), 21);
    EXPECT_EQ(bytes.left(12), QByteArray("01234567ABCD"));
    EXPECT_EQ(bytes.at(20), 'Z');
}

TEST_F(CodecReportFile, UnknownAndClosedHandlesDoNothing) {
    ASSERT_TRUE(dir.isValid());
    writeFile(path("a.txt"), "aaaa");
    writeFile(path("b.txt"), "bbbb");
    qint32 a = kNoFile;
    qint32 b = kNoFile;
    CSFOpen(path("a.txt"), a);
    CSFOpen(path("b.txt"), b);
    ASSERT_NE(a, kNoFile);
    ASSERT_NE(b, kNoFile);
    EXPECT_NE(a, b);

    FClose(kNoFile);
    FSeek(kNoFile, 1);
    FPut(kNoFile, "x");
    const qint32 unknown = a + b + 100;
    FClose(unknown);
    FSeek(unknown, 1);
    FPut(unknown, "x");
    FPut(b, "B");
    FClose(b);
    FClose(b);
    FPut(b, "again");
    FSeek(b, 2);
    FPut(a, "A");
    FClose(a);
    EXPECT_EQ(contentsOf(path("a.txt")), QByteArray("Aaaa"));
    EXPECT_EQ(contentsOf(path("b.txt")), QByteArray("Bbbb"));
}

TEST_F(CodecReportFile, MadeWholeOrNotAtAllAndEveryFailureGivesItsReason) {
    ASSERT_TRUE(dir.isValid());
    const auto entries = [this] {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    };
    // A disk that fills while the file is made leaves neither the file nor a temporary one.
    platform::setFileFailureForTests(platform::FileStep::Write, ENOSPC);
    EXPECT_FALSE(FCreate(path("r.txt"), "HEAD\r\nrow"));
    EXPECT_EQ(FError(), platform::errorText(ENOSPC));
    platform::setFileFailureForTests(platform::FileStep::Write, 0);
    platform::setFileFailureForTests(platform::FileStep::Sync, EIO);
    EXPECT_FALSE(FCreate(path("r.txt"), "HEAD\r\nrow"));
    EXPECT_EQ(FError(), platform::errorText(EIO));
    platform::setFileFailureForTests(platform::FileStep::Sync, 0);
    EXPECT_TRUE(entries().isEmpty());

    EXPECT_TRUE(FCreate(path("r.txt"), "HEAD\r\nrow"));
    EXPECT_FALSE(FCreate(path("r.txt"), "other"));
    EXPECT_EQ(contentsOf(path("r.txt")), QByteArray("HEAD\r\nrow"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("r.txt")});

    qint32 handle = kNoFile;
    ASSERT_TRUE(CSFOpen(path("r.txt"), handle));
    EXPECT_EQ(FLen(handle), 9);
    QByteArray bytes;
    EXPECT_TRUE(FSeek(handle, 6) && FGet(handle, 9, bytes));
    EXPECT_EQ(bytes, QByteArray("row"));
    EXPECT_FALSE(FSeek(handle, -1));

    // A write the disk refuses changes nothing; one it cannot confirm is reported at the
    // close, which closes the file all the same.
    platform::setFileFailureForTests(platform::FileStep::Write, ENOSPC);
    EXPECT_TRUE(FSeek(handle, 0));
    EXPECT_FALSE(FPut(handle, "XY"));
    EXPECT_EQ(FError(), platform::errorText(ENOSPC));
    platform::setFileFailureForTests(platform::FileStep::Write, 0);
    EXPECT_TRUE(FPut(handle, "AB"));
    platform::setFileFailureForTests(platform::FileStep::Sync, EIO);
    EXPECT_FALSE(FClose(handle));
    EXPECT_EQ(FError(), platform::errorText(EIO));
    platform::setFileFailureForTests(platform::FileStep::Sync, 0);
    EXPECT_FALSE(FClose(handle));
    EXPECT_EQ(FLen(handle), -1);
    EXPECT_EQ(contentsOf(path("r.txt")), QByteArray("ABAD\r\nrow"));

    // Only regular files are opened.
    EXPECT_FALSE(CSFOpen(dir.path(), handle));
    EXPECT_EQ(handle, kNoFile);
    EXPECT_EQ(FError(), platform::errorText(EISDIR));
}
