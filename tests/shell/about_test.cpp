// The about box's lines and the search for the system information viewer.
#include "fakes.h"
#include "platform/system/programs.h"
#include "platform/system/registry.h"
#include "shell/about.h"
#include "shell/module1.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <map>

using shell::frmAbout;

using testsupport::BoxAnswerer;

namespace {

const QString kKey1 = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kKey2 = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");

class AboutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Module1::ResetSharedState();
        Module1::vReleaseDate = QStringLiteral("10/31/2000");
        Module1::vProgramVersion = QStringLiteral("1.0");
        platform::setRegistryReader([this](qint32 root, const QString& key, const QString& name,
                                           platform::RegistryValue& value) {
            if (root != platform::HKEY_LOCAL_MACHINE)
                return false;
            const auto found = registry.find(key + QLatin1Char('|') + name);
            if (found == registry.end())
                return false;
            value = found->second;
            return true;
        });
        platform::setProgramStarter([this](const QString& path) {
            started << path;
            return true;
        });
    }
    void TearDown() override {
        platform::setRegistryReader({});
        platform::setProgramStarter({});
        QLocale::setDefault(QLocale::system());
    }

    void putText(const QString& key, const QString& name, const QByteArray& text, bool countNul) {
        platform::RegistryValue value;
        value.type = platform::REG_SZ;
        value.data = text + QByteArray(1, '\0') + QByteArray(8, '\0');
        value.reportedSize = int(text.size()) + (countNul ? 1 : 0);
        registry[key + QLatin1Char('|') + name] = value;
    }

    std::map<QString, platform::RegistryValue> registry;
    QStringList started;
    BoxAnswerer boxes;
};

TEST_F(AboutTest, LinesLineUpAndShowTheStartUpValues) {
    Module1::vDisplayMicroDate = QDate(2000, 5, 19);
    Module1::vDisplayMicroInfo.clear();
    Module1::sTerminalMicroDate = QStringLiteral("5/2/00");
    frmAbout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About TQ-8400"));
    EXPECT_EQ(about.lblProductName->text(), QStringLiteral("TQ-8400 Sensor Calibration"));
    EXPECT_EQ(about.lblVersion->text(),
              QStringLiteral("Terminal Program Version     : 10/31/2000   ver. 1.0"));
    // After a read without reply: the substitute date and one blank, and the other date.
    EXPECT_EQ(about.lblDBMicro->text(), QStringLiteral("Display  Board Micro Version : 5/19/00 "));
    EXPECT_EQ(about.lblTBMicro->text(), QStringLiteral("Terminal Board Micro Version : 5/2/00"));
    EXPECT_EQ(about.lblVersion->text().indexOf(QLatin1Char(':')),
              about.lblDBMicro->text().indexOf(QLatin1Char(':')));
    EXPECT_EQ(about.lblTBMicro->text().indexOf(QLatin1Char(':')), 29);
    EXPECT_EQ(about.lblPlatform->text(), QStringLiteral("Windows 95/98/NT4"));
    EXPECT_EQ(about.lblCopyright->text(), QStringLiteral("Copyright"));
    const QFontMetrics metrics(about.lblVersion->font());
    EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("iiii")),
              metrics.horizontalAdvance(QStringLiteral("WWWW")));
}

TEST_F(AboutTest, PlatformAndCopyrightKeepTheFractionOfTheirSizes) {
    frmAbout about;
    EXPECT_EQ(about.lblPlatform->font().pointSizeF(), 15.75);
    EXPECT_TRUE(about.lblPlatform->font().bold());
    EXPECT_EQ(about.lblCopyright->font().pointSizeF(), 8.25);
    EXPECT_EQ(about.lblProductName->font().pointSizeF(), 18.0);
}

TEST_F(AboutTest, ControllerTextIsShownAsPlainTextNeverAsMarkup) {
    Module1::vDisplayMicroDate = QStringLiteral("<h1>big");
    Module1::vDisplayMicroInfo = QStringLiteral("<b>x</b>");
    Module1::sTerminalMicroDate = QStringLiteral("&amp;<br>");
    frmAbout about;
    for (QLabel* label : about.findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    EXPECT_TRUE(about.lblDBMicro->text().endsWith(QStringLiteral("<h1>big <b>x</b>")));
    EXPECT_TRUE(about.lblTBMicro->text().endsWith(QStringLiteral("&amp;<br>")));
}

TEST_F(AboutTest, OkAndEscCloseTheBox) {
    frmAbout about;
    about.show();
    QTest::mouseClick(about.cmdOK, Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
    about.show();
    QTest::keyClick(&about, Qt::Key_Escape);
    EXPECT_FALSE(about.isVisible());
}

TEST_F(AboutTest, RegistryTextWithAndWithoutItsClosingNul) {
    putText(kKey1, QStringLiteral("PATH"), "C:\\MSINFO32.EXE", true);
    QString value;
    EXPECT_TRUE(
        shell::GetKeyValue(platform::HKEY_LOCAL_MACHINE, kKey1, QStringLiteral("PATH"), value));
    EXPECT_EQ(value, QStringLiteral("C:\\MSINFO32.EXE"));
    putText(kKey1, QStringLiteral("PATH"), "C:\\MSINFO32.EXE", false);
    EXPECT_TRUE(
        shell::GetKeyValue(platform::HKEY_LOCAL_MACHINE, kKey1, QStringLiteral("PATH"), value));
    EXPECT_EQ(value, QStringLiteral("C:\\MSINFO32.EXE"));
    EXPECT_FALSE(
        shell::GetKeyValue(platform::HKEY_LOCAL_MACHINE, kKey2, QStringLiteral("MSINFO"), value));
    EXPECT_TRUE(value.isEmpty());
}

TEST_F(AboutTest, FirstLocationIsStartedWithoutCheckingTheFile) {
    putText(kKey1, QStringLiteral("PATH"), "Z:\\nowhere\\viewer.exe", true);
    shell::StartSysInfo();
    EXPECT_EQ(started, QStringList{QStringLiteral("Z:\\nowhere\\viewer.exe")});
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(AboutTest, SecondLocationWithoutTheViewerFallsBack) {
    putText(kKey2, QStringLiteral("MSINFO"), "Z:\\nowhere", true);
    shell::StartSysInfo();
    const QString onPath = platform::systemInfoViewerOnPath();
    if (onPath.isEmpty()) {
        EXPECT_TRUE(started.isEmpty());
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text,
                  QStringLiteral("System Information Is Unavailable At This Time"));
        EXPECT_EQ(boxes.shown[0].title, QStringLiteral("TQ-8400VedadaRav"));
        EXPECT_EQ(boxes.shown[0].style, 0);
    } else {
        EXPECT_EQ(started, QStringList{onPath});
    }

    // A viewer that will not start is unavailable too.
    started.clear();
    boxes.shown.clear();
    putText(kKey1, QStringLiteral("PATH"), "Z:\\viewer.exe", true);
    platform::setProgramStarter([](const QString&) { return false; });
    shell::StartSysInfo();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("System Information Is Unavailable At This Time"));
}

} // namespace
