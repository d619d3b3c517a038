// The table of files open by number: the report file routines on numbered handles.
#include "platform/files/file_sync.h"
#include "platform/files/open_file_table.h"
#include "platform/system/error_text.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>

using namespace platform;

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

class OpenFileTable : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
};

} // namespace

TEST_F(OpenFileTable, OpeningAMissingFileGivesNoFile) {
    ASSERT_TRUE(dir.isValid());
    qint32 handle = 7;
    CSFOpen(path("missing.txt"), handle);
    EXPECT_EQ(handle, kNoFile);
    EXPECT_FALSE(QFile::exists(path("missing.txt")));
    CSFOpen(dir.path(), handle);
    EXPECT_EQ(handle, kNoFile);
}

TEST_F(OpenFileTable, CreateMakesAnEmptyFileAndNeverTruncates) {
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

TEST_F(OpenFileTable, FirstPutAfterCreateWritesFromTheStart) {
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

TEST_F(OpenFileTable, SeekAndPutOverwriteInPlace) {
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

TEST_F(OpenFileTable, PutPastTheEndExtendsTheFile) {
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

TEST_F(OpenFileTable, UnknownAndClosedHandlesDoNothing) {
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

TEST_F(OpenFileTable, MadeWholeOrNotAtAllAndEveryFailureGivesItsReason) {
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
