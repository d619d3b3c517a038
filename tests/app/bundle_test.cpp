// The portable bundle as a technician gets it: the archive made from this build tree is
// unpacked into a fresh folder, away from the source tree, and what it holds is checked there:
// its layout, the desktop entry and AppStream metadata (by the desktop's own validators), the
// simulated controller attaching a port link in the bundle's working place, and the tool
// answering --version and --help without a display.
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <map>

namespace {

const QString kArchive = QStringLiteral(TQ_BUNDLE_ARCHIVE);
const QString kTop = QStringLiteral(TQ_BUNDLE_TOP);
const QString kAppId = QStringLiteral(TQ_APP_ID);
const QString kVersion = QStringLiteral(TQ_VERSION);

const QString kDesktopEntry = QStringLiteral("share/applications/") + kAppId + ".desktop";
const QString kMetainfo = QStringLiteral("share/metainfo/") + kAppId + ".metainfo.xml";
const QString kIconFolder = QStringLiteral("share/icons/hicolor/scalable/apps/");

struct Finished {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to its end (at most a minute) and keeps what it printed.
Finished run(const QString& program, const QStringList& arguments,
             const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
             const QString& workingDirectory = QString()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    Finished result;
    result.finished = process.waitForFinished(60000);
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    if (!result.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    return result;
}

// The key=value lines of the [Desktop Entry] group.
std::map<QString, QString> desktopEntryKeys(const QString& path) {
    std::map<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    bool inEntry = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line == QLatin1String("[Desktop Entry]");
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inEntry && equals > 0)
            keys[line.left(equals).trimmed()] = line.mid(equals + 1).trimmed();
    }
    return keys;
}

class BundleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(QFileInfo::exists(kArchive))
            << kArchive.toStdString() << " is missing: the test app_bundle_archive makes it";
        ASSERT_TRUE(m_dir.isValid()) << m_dir.errorString().toStdString();
        const Finished unpack = run(QStringLiteral("tar"), {QStringLiteral("-xzf"), kArchive,
                                                            QStringLiteral("-C"), m_dir.path()});
        ASSERT_TRUE(unpack.finished);
        ASSERT_EQ(unpack.exitCode, 0) << unpack.err.toStdString();
    }

    // A path inside the unpacked bundle.
    QString bundlePath(const QString& relative) const {
        return m_dir.filePath(kTop + QLatin1Char('/') + relative);
    }

    QTemporaryDir m_dir;
};

TEST(BundleArchiveTest, EverythingLiesInOneFolderNamedAfterTheVersion) {
    const Finished listing = run(QStringLiteral("tar"), {QStringLiteral("-tzf"), kArchive});
    ASSERT_TRUE(listing.finished);
    ASSERT_EQ(listing.exitCode, 0) << listing.err.toStdString();
    EXPECT_TRUE(kTop.startsWith(QStringLiteral("tq8400-cal-") + kVersion + QLatin1Char('-')))
        << kTop.toStdString();
    EXPECT_EQ(QFileInfo(kArchive).fileName(), kTop + QStringLiteral(".tar.gz"));

    QStringList entries;
    for (const QByteArray& line : listing.out.split('\n'))
        if (!line.isEmpty())
            entries << QString::fromUtf8(line);
    ASSERT_FALSE(entries.isEmpty());
    for (const QString& entry : entries)
        EXPECT_TRUE(entry.startsWith(kTop + QLatin1Char('/'))) << entry.toStdString();

    const QStringList expected = {
        QStringLiteral("bin/tq8400-cal"),
        QStringLiteral("bin/tq8400-sim"),
        QStringLiteral("bin/README.txt"),
        kDesktopEntry,
        kIconFolder + QStringLiteral("tq8400-cal.svg"),
        kMetainfo,
        QStringLiteral("share/doc/tq8400-cal/README.md"),
        QStringLiteral("share/doc/tq8400-cal/LICENSE"),
    };
    for (const QString& file : expected)
        EXPECT_TRUE(entries.contains(kTop + QLatin1Char('/') + file)) << file.toStdString();
}

TEST_F(BundleTest, ProgramsAreExecutableAndTheReadmePicturesComeAlong) {
    EXPECT_TRUE(QFileInfo(bundlePath(QStringLiteral("bin/tq8400-cal"))).isExecutable());
    EXPECT_TRUE(QFileInfo(bundlePath(QStringLiteral("bin/tq8400-sim"))).isExecutable());

    // Every picture the README shows is in the bundle beside it.
    QFile readme(bundlePath(QStringLiteral("share/doc/tq8400-cal/README.md")));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(readme.readAll());
    const QRegularExpression picture(QStringLiteral(R"(!\[[^\]]*\]\(([^)]+\.png)\))"));
    int pictures = 0;
    for (auto it = picture.globalMatch(text); it.hasNext(); ++pictures) {
        const QString relative = it.next().captured(1);
        EXPECT_TRUE(
            QFileInfo::exists(bundlePath(QStringLiteral("share/doc/tq8400-cal/") + relative)))
            << relative.toStdString();
    }
    EXPECT_GE(pictures, 2) << "the README shows the login and the workbench";
}

TEST_F(BundleTest, DesktopEntryIsValidAndNamesTheBundledProgramAndIcon) {
    const QString entry = bundlePath(kDesktopEntry);
    ASSERT_TRUE(QFileInfo::exists(entry)) << entry.toStdString();

    const auto keys = desktopEntryKeys(entry);
    ASSERT_TRUE(keys.count(QStringLiteral("Exec")));
    ASSERT_TRUE(keys.count(QStringLiteral("Icon")));
    const QString program = keys.at(QStringLiteral("Exec")).section(QLatin1Char(' '), 0, 0);
    EXPECT_TRUE(QFileInfo(bundlePath(QStringLiteral("bin/") + program)).isExecutable())
        << program.toStdString();
    EXPECT_TRUE(QFileInfo::exists(
        bundlePath(kIconFolder + keys.at(QStringLiteral("Icon")) + QStringLiteral(".svg"))))
        << keys.at(QStringLiteral("Icon")).toStdString();

    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        GTEST_SKIP()
            << "desktop-file-validate is not installed (Debian package desktop-file-utils)";
    const Finished check = run(validator, {entry});
    ASSERT_TRUE(check.finished);
    EXPECT_EQ(check.exitCode, 0) << check.out.toStdString() << check.err.toStdString();
    // Hints and warnings are printed too, with exit code 0: the entry is to have none.
    EXPECT_EQ(check.out.trimmed().toStdString(), "");
}

TEST_F(BundleTest, MetainfoIsValidAndDescribesThisRelease) {
    const QString metainfo = bundlePath(kMetainfo);
    QFile file(metainfo);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << metainfo.toStdString();
    QString id;
    QString launchable;
    QStringList releases;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("id"))
            id = xml.readElementText();
        else if (xml.name() == QLatin1String("launchable"))
            launchable = xml.readElementText();
        else if (xml.name() == QLatin1String("release"))
            releases << xml.attributes().value(QLatin1String("version")).toString();
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(id, kAppId);
    EXPECT_TRUE(QFileInfo::exists(bundlePath(QStringLiteral("share/applications/") + launchable)))
        << launchable.toStdString();
    EXPECT_TRUE(releases.contains(kVersion)) << releases.join(QLatin1Char(' ')).toStdString();

    const QString validator = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    if (validator.isEmpty())
        GTEST_SKIP() << "appstreamcli is not installed (Debian package appstream)";
    const Finished check = run(validator, {QStringLiteral("validate"), QStringLiteral("--no-net"),
                                           QStringLiteral("--pedantic"), metainfo});
    ASSERT_TRUE(check.finished);
    EXPECT_EQ(check.exitCode, 0) << check.out.toStdString() << check.err.toStdString();
}

TEST_F(BundleTest, SimulatedControllerAttachesPortOneInTheWorkingPlace) {
    const QString bin = bundlePath(QStringLiteral("bin"));
    const QString link = bin + QStringLiteral("/COM1");
    QProcess simulator;
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator.setWorkingDirectory(m_dir.path());
    simulator.start(bin + QStringLiteral("/tq8400-sim"), {QStringLiteral("--link"), link});
    ASSERT_TRUE(simulator.waitForStarted(10000)) << simulator.errorString().toStdString();

    QByteArray output;
    QDeadlineTimer deadline(10000);
    while (!output.contains("tq8400-sim: ready on") && !deadline.hasExpired() &&
           simulator.state() == QProcess::Running) {
        simulator.waitForReadyRead(100);
        output += simulator.readAllStandardOutput();
    }
    EXPECT_TRUE(output.contains("tq8400-sim: ready on")) << output.toStdString();
    const QFileInfo linkInfo(link);
    EXPECT_TRUE(linkInfo.isSymLink()) << link.toStdString();
    EXPECT_TRUE(linkInfo.symLinkTarget().startsWith(QStringLiteral("/dev/")))
        << linkInfo.symLinkTarget().toStdString();

    simulator.terminate();
    ASSERT_TRUE(simulator.waitForFinished(10000));
    EXPECT_EQ(simulator.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(simulator.exitCode(), 0);
}

TEST_F(BundleTest, ToolAnswersVersionAndHelpWithoutADisplay) {
    // No display of any kind: a window, or even the platform plugin, would fail here.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    const QString tool = bundlePath(QStringLiteral("bin/tq8400-cal"));

    const Finished version = run(tool, {QStringLiteral("--version")}, environment, m_dir.path());
    ASSERT_TRUE(version.finished);
    EXPECT_EQ(version.exitCode, 0) << version.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(version.out), QStringLiteral("tq8400-cal ") + kVersion + "\n");

    const Finished help = run(tool, {QStringLiteral("--help")}, environment, m_dir.path());
    ASSERT_TRUE(help.finished);
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.startsWith("Usage: tq8400-cal")) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains("--certificate [LOG] [--out FILE.pdf]"));
    EXPECT_TRUE(help.out.contains("Exit status: 0 ")) << help.out.toStdString();
    EXPECT_TRUE(help.out.endsWith('\n'));

    // Whatever else is on the line, --version still answers alone.
    const Finished mixed =
        run(tool, {QStringLiteral("-x"), QStringLiteral("--version")}, environment, m_dir.path());
    ASSERT_TRUE(mixed.finished);
    EXPECT_EQ(mixed.exitCode, 0);
    EXPECT_EQ(mixed.out, version.out);
}

} // namespace
