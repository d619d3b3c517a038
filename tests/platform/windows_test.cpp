// What only the Windows build does: the registry, the account name, ports named COMn, a port
// that is missing or held by another program, and the report and log files' creation,
// appending, flushing and read-only mark. Run under Wine by scripts/test-windows; where Wine
// behaves unlike Windows, the test says so.
#include "platform/files/file_append.h"
#include "platform/files/file_open.h"
#include "platform/files/file_sync.h"
#include "platform/serial/pdq_comm.h"
#include "platform/serial/port_path.h"
#include "platform/system/registry.h"
#include "platform/system/user_name.h"
#include "sim_process.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// Taken before <windows.h>, whose macros of the same names would stand in their way.
constexpr qint32 kLocalMachine = platform::HKEY_LOCAL_MACHINE;
constexpr int kTextValue = platform::REG_SZ;
} // namespace

#include <windows.h>

namespace {

bool underWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool setReadOnly(const QString& path, bool readOnly) {
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    return ::SetFileAttributesW(native.c_str(), readOnly ? FILE_ATTRIBUTE_READONLY
                                                         : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

TEST(WindowsSystem, RegistryAccountAndPortNames) {
    // A text value as the system's query gives it: its type, and a size that counts the
    // closing NUL.
    platform::RegistryValue value;
    ASSERT_TRUE(platform::readRegistryValue(
        kLocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"),
        QStringLiteral("CurrentVersion"), value));
    EXPECT_EQ(value.type, kTextValue);
    EXPECT_EQ(value.reportedSize, value.data.size());
    ASSERT_GE(value.data.size(), 2);
    EXPECT_EQ(value.data.back(), '\0');
    EXPECT_TRUE(QByteArray(value.data.constData()).contains('.')) << value.data.constData();
    EXPECT_FALSE(platform::readRegistryValue(kLocalMachine,
                                             QStringLiteral("SOFTWARE\\No Such Key Here"),
                                             QStringLiteral("Path"), value));

    // The account the program runs under; Windows (and Wine) set USERNAME to the same name.
    const QString account = platform::osLoginName();
    EXPECT_FALSE(account.isEmpty());
    EXPECT_EQ(account.compare(qEnvironmentVariable("USERNAME"), Qt::CaseInsensitive), 0)
        << account.toStdString();

    // Port n is the system's COMn, whatever directory the program is in.
    EXPECT_EQ(platform::devicePathForPort(12, QStringLiteral("C:/Tools")), QStringLiteral("COM12"));
    EXPECT_EQ(platform::devicePathForPort(1, QString()), QStringLiteral("COM1"));
}

TEST(WindowsSerialPort, AMissingPortAndAPortHeldByAnotherProgramAreToldApart) {
    platform::PdqComm missing;
    ASSERT_TRUE(missing.setPortNumber(200));
    EXPECT_FALSE(missing.setPortOpen(true));
    EXPECT_FALSE(missing.portOpen());
    EXPECT_EQ(missing.lastOpenErrorKind(), platform::PortErrorKind::Missing);
    EXPECT_TRUE(missing.lastError().startsWith(QStringLiteral("COM200: ")))
        << missing.lastError().toStdString();
    EXPECT_GT(missing.lastError().size(), 8);

    testsupport::SimProcess sim({}, 5);
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    platform::PdqComm first;
    ASSERT_TRUE(first.setSettings(QStringLiteral("9600,N,8,1")));
    ASSERT_TRUE(first.setPortNumber(5));
    ASSERT_TRUE(first.setPortOpen(true)) << first.lastError().toStdString();
    EXPECT_EQ(first.lastOpenErrorKind(), platform::PortErrorKind::None);

    platform::PdqComm second;
    ASSERT_TRUE(second.setPortNumber(5));
    const bool secondOpened = second.setPortOpen(true);
    if (secondOpened && underWine())
        GTEST_SKIP() << "Wine lets a second program open a serial port that is in use; "
                        "Windows refuses it (access denied), which the tool reports as busy";
    EXPECT_FALSE(secondOpened);
    EXPECT_EQ(second.lastOpenErrorKind(), platform::PortErrorKind::Busy);
    EXPECT_TRUE(second.lastError().startsWith(QStringLiteral("COM5: ")));
}

TEST(WindowsFiles, CreationIsExclusiveAppendingKeepsWhatIsThereAndTheReadOnlyMarkIsKept) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    // Made whole, never replaced.
    const QString report = dir.filePath(QStringLiteral("CalData.txt"));
    QString reason;
    ASSERT_EQ(platform::createFileWhole(report, "first\r\n", &reason),
              platform::CreateResult::Created)
        << reason.toStdString();
    EXPECT_EQ(platform::createFileWhole(report, "second\r\n"), platform::CreateResult::Exists);
    EXPECT_EQ(contentsOf(report), QByteArray("first\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary file is left behind";

    // Opened for update in place, written and flushed through Qt's own file handle.
    QFile file;
    ASSERT_TRUE(platform::openRegularFile(file, report, &reason)) << reason.toStdString();
    ASSERT_TRUE(file.seek(0));
    ASSERT_TRUE(platform::writeToFile(file, "FIRST", &reason)) << reason.toStdString();
    EXPECT_TRUE(platform::syncFileToDisk(file, &reason)) << reason.toStdString();
    file.close();
    EXPECT_EQ(contentsOf(report), QByteArray("FIRST\r\n"));
    EXPECT_FALSE(platform::openRegularFile(file, dir.path(), &reason)) << "a folder is no file";

    // The log: made with its heading, then appended to; bytes go as they are (no CR added).
    const QString log = dir.filePath(QStringLiteral("CalLog.csv"));
    ASSERT_TRUE(platform::appendLineToFile(log, "one\n", "heading\n", &reason))
        << reason.toStdString();
    ASSERT_TRUE(platform::appendLineToFile(log, "two\n", "heading\n", &reason))
        << reason.toStdString();
    EXPECT_EQ(contentsOf(log), QByteArray("heading\none\ntwo\n"));

    // The read-only mark refuses every write, and the files stay as they were.
    ASSERT_TRUE(setReadOnly(log, true));
    ASSERT_TRUE(setReadOnly(report, true));
    reason.clear();
    EXPECT_FALSE(platform::appendLineToFile(log, "three\n", "heading\n", &reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_FALSE(platform::openRegularFile(file, report, &reason));
    EXPECT_EQ(contentsOf(log), QByteArray("heading\none\ntwo\n"));
    EXPECT_EQ(contentsOf(report), QByteArray("FIRST\r\n"));
    setReadOnly(log, false);
    setReadOnly(report, false);
}

} // namespace
