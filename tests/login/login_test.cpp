// The login screen driven through its real widgets, on a fake port and clock.
#include "fakes.h"
#include "form_controls.h"
#include "login/frm_login.h"
#include "platform/serial/pdq.h"
#include "platform/serial/port_info.h"
#include "platform/serial/port_path.h"
#include "platform/system/error_text.h"
#include "platform/system/program_end.h"
#include "platform/system/signed_in_user.h"
#include "platform/widgets/status_bar.h"
#include "shell/module1.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <optional>

using login::frmLogin;

using testsupport::BoxAnswerer;
using testsupport::FakePort;
using testsupport::FakeWaits;

namespace {

class LoginTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Module1::ResetSharedState();
        platform::setSignedInUser(QString());
        port->open = false;
        port->goodPorts = {1, 2};
        platform::setProgramEndHook([this](int) { ++programEnds; });
        login = std::make_unique<frmLogin>();
        ui.emplace(*login);
        login->show();
    }
    void TearDown() override {
        ui.reset();
        login.reset();
        platform::setProgramEndHook({});
    }

    QString status() const { return ui->sbLogin->panelText(1); }
    void pickPort(int index) {
        ui->cboComPort->setCurrentIndex(index);
        emit ui->cboComPort->activated(index);
    }

    testsupport::FakeLink link;
    FakeWaits& waits = link.waits;
    FakePort* port = link.port;
    BoxAnswerer boxes;
    int programEnds = 0;
    std::unique_ptr<frmLogin> login;
    std::optional<testsupport::LoginControls> ui;
};

TEST(LoginUserName, ProposalFollowsTheTenCharacterBuffer) {
    EXPECT_EQ(frmLogin::ProposedUserName(QStringLiteral("technicia")), QStringLiteral("technicia"));
    EXPECT_EQ(frmLogin::ProposedUserName(QStringLiteral("technician")), QString());
    EXPECT_EQ(frmLogin::ProposedUserName(QStringLiteral("a.much.longer.name")), QString());
    EXPECT_EQ(frmLogin::ProposedUserName(QString()), QString());
}

TEST_F(LoginTest, FormStartsWithPortOneAndNineItems) {
    EXPECT_EQ(login->windowTitle(), QStringLiteral("Login"));
    ASSERT_EQ(ui->cboComPort->count(), 9);
    EXPECT_EQ(ui->cboComPort->itemText(0), QStringLiteral("1"));
    EXPECT_EQ(ui->cboComPort->itemText(8), QStringLiteral("9"));
    EXPECT_EQ(ui->cboComPort->currentText(), QStringLiteral("1"));
    EXPECT_EQ(Module1::iComPort, 1);
    EXPECT_EQ(status(), QStringLiteral("Status"));
    EXPECT_EQ(ui->txtUserName->accessibleDescription(), QStringLiteral("txtUserName"));
    EXPECT_FALSE(ui->txtUserName->accessibleName().isEmpty());
}

TEST_F(LoginTest, EmptyNameIsRefusedAndBlankNameAccepted) {
    ui->txtUserName->clear();
    QTest::mouseClick(ui->cmdOK, Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Login"));
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Invalid User Name, try again!"));
    EXPECT_EQ(boxes.shown[0].style, 0);
    EXPECT_EQ(status(), QStringLiteral("Error! Invalid User Name. Please Re-enter."));
    EXPECT_FALSE(port->open);
    EXPECT_FALSE(login->portOpened());

    ui->txtUserName->setText(QStringLiteral("   "));
    QTest::mouseClick(ui->cmdOK, Qt::LeftButton);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(login->portOpened());
    EXPECT_TRUE(port->open);
}

TEST_F(LoginTest, UntouchedListOpensPortOneWithTheExactStatusAndPause) {
    ui->txtUserName->setText(QStringLiteral("tech"));
    QTest::mouseClick(ui->cmdOK, Qt::LeftButton);
    EXPECT_EQ(port->portNumber, 1);
    EXPECT_TRUE(port->open);
    EXPECT_EQ(status(), QStringLiteral("ComPort 1 Opened Successfully!"));
    EXPECT_EQ(platform::signedInUser(), QStringLiteral("tech"));
    EXPECT_EQ(waits.sleeps, std::vector<int>({500}));
    EXPECT_TRUE(login->portOpened());
    EXPECT_FALSE(login->isVisible());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LoginTest, TypedPortTextIsIgnoredAndThePickedItemUsed) {
    ui->txtUserName->setText(QStringLiteral("tech"));
    pickPort(1); // "2"
    ui->cboComPort->setFocus();
    ui->cboComPort->lineEdit()->selectAll();
    QTest::keyClicks(ui->cboComPort->lineEdit(), QStringLiteral("7"));
    EXPECT_EQ(ui->cboComPort->currentText(), QStringLiteral("7"));
    QTest::mouseClick(ui->cmdOK, Qt::LeftButton);
    EXPECT_EQ(port->portNumber, 2);
    EXPECT_EQ(status(), QStringLiteral("ComPort 2 Opened Successfully!"));
}

TEST_F(LoginTest, BadPortThenGoodPort) {
    ui->txtUserName->setText(QStringLiteral("tech"));
    pickPort(4); // "5" does not open
    boxes.answers = {platform::vbOK};
    boxes.onShow = [this](const testsupport::ShownBox&) {
        // The status changes only after the box is closed.
        EXPECT_EQ(status(), QStringLiteral("Status"));
    };
    QTest::mouseClick(ui->cmdOK, Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Port is invalid, try again"));
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Login"));
    EXPECT_EQ(boxes.shown[0].style, 1);
    EXPECT_EQ(status(), QStringLiteral("Port is Invalid! "));
    EXPECT_FALSE(login->portOpened());
    EXPECT_TRUE(login->isVisible());
    EXPECT_EQ(programEnds, 0);

    boxes.onShow = nullptr;
    pickPort(0);
    QTest::mouseClick(ui->cmdOK, Qt::LeftButton);
    EXPECT_TRUE(login->portOpened());
    EXPECT_TRUE(port->open);
}

TEST_F(LoginTest, CancelInTheFailureBoxEndsTheProgram) {
    ui->txtUserName->setText(QStringLiteral("tech"));
    pickPort(8);
    boxes.answers = {platform::vbCancel};
    QTest::mouseClick(ui->cmdOK, Qt::LeftButton);
    EXPECT_EQ(programEnds, 1);
    EXPECT_FALSE(login->portOpened());
    EXPECT_FALSE(port->open);
}

TEST_F(LoginTest, PortToolTipsNameTheDeviceAndTheSecondPanelSaysWhyAPortDidNotOpen) {
    // Port 8 is a link to a device that is not there, port 9 one to a device that is.
    const QDir programDirectory(QCoreApplication::applicationDirPath());
    if (platform::devicePathForPort(8, programDirectory.path()) == QStringLiteral("COM8"))
        GTEST_SKIP() << "port n is the system's COMn here; no COMn link beside the program "
                        "stands for a port (the Windows test covers the Windows port names)";
    const QString com8 = programDirectory.filePath(QStringLiteral("COM8"));
    const QString com9 = programDirectory.filePath(QStringLiteral("COM9"));
    ASSERT_FALSE(QFileInfo(com8).isSymLink() || QFileInfo::exists(com8));
    ASSERT_FALSE(QFileInfo(com9).isSymLink() || QFileInfo::exists(com9));
    QTemporaryDir devices;
    const QString gone = devices.filePath(QStringLiteral("ttyGONE"));
    const QString there = devices.filePath(QStringLiteral("ttyTHERE"));
    {
        QFile device(there);
        ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile::link(gone, com8));
    const auto removeLinks = qScopeGuard([&] {
        QFile::remove(com8);
        QFile::remove(com9);
        platform::setPortOpenFailureForTests(0);
    });
    ASSERT_TRUE(QFile::link(there, com9));

    ui.reset();
    login = std::make_unique<frmLogin>();
    ui.emplace(*login);
    login->show();
    const auto tip = [this](int index) {
        return ui->cboComPort->itemData(index, Qt::ToolTipRole).toString();
    };
    EXPECT_EQ(tip(7), QStringLiteral("Port 8: ") + com8 + QStringLiteral(" -> ") + gone +
                          QStringLiteral(" (not present)"));
    EXPECT_EQ(tip(8), QStringLiteral("Port 9: ") + com9 + QStringLiteral(" -> ") + there);
    // Without a COM4 of its own, port 4 is the system's fourth port.
    ASSERT_EQ(platform::devicePathForPort(4, programDirectory.path()),
              platform::devicePathForPort(4, QString()));
    EXPECT_TRUE(tip(3).startsWith(QStringLiteral("Port 4: system port ") +
                                  platform::devicePathForPort(4, QString())))
        << qPrintable(tip(3));
    for (int index = 0; index < 9; ++index)
        EXPECT_TRUE(tip(index).startsWith(QStringLiteral("Port %1: ").arg(index + 1)));
    // The adapter, where the system knows it, on a line of its own.
    platform::PortDevice adapter;
    adapter.portNumber = 3;
    adapter.path = QStringLiteral("/dev/ttyUSB0");
    adapter.systemPort = true;
    adapter.present = true;
    adapter.description = QStringLiteral("USB-Serial Controller");
    adapter.serialNumber = QStringLiteral("A50285BI");
    EXPECT_EQ(frmLogin::PortToolTip(adapter),
              QStringLiteral("Port 3: system port /dev/ttyUSB0\n"
                             "USB-Serial Controller, serial number A50285BI"));

    // The real serial control, on those devices.
    platform::PDQ().replaceComm1(nullptr);
    ui->txtUserName->setText(QStringLiteral("tech"));
    auto* failurePanel = ui->sbLogin->findChild<QLabel*>(QStringLiteral("Panel2"));
    ASSERT_NE(failurePanel, nullptr);
    EXPECT_EQ(failurePanel->accessibleDescription(), QStringLiteral("Panel2"));
    EXPECT_EQ(ui->sbLogin->panelText(2), QString());
    std::vector<QString> panelAtBox;
    boxes.onShow = [&](const testsupport::ShownBox&) {
        panelAtBox.push_back(ui->sbLogin->panelText(2));
    };

    pickPort(7);
    QTest::mouseClick(ui->cmdOK, Qt::LeftButton);
    EXPECT_EQ(platform::PDQ().Comm1().lastOpenErrorKind(), platform::PortErrorKind::Missing);
    // The reason in the system's own words, in whatever language it speaks.
    const QString missing =
        com8 + QStringLiteral(" -> ") + gone + QLatin1Char('\n') + platform::errorText(ENOENT);
    EXPECT_EQ(ui->sbLogin->panelText(2), missing);

    // Administrators open any device: the refusal is the serial layer's, as the system gives it.
    pickPort(8);
    platform::setPortOpenFailureForTests(EACCES);
    QTest::mouseClick(ui->cmdOK, Qt::LeftButton);
    EXPECT_EQ(platform::PDQ().Comm1().lastOpenErrorKind(), platform::PortErrorKind::Permission);
    // The group to join is the device's own, or "dialout" for a device of root's.
    const QString owner = QFileInfo(there).group();
    const QString group =
        owner.isEmpty() || owner == QLatin1String("root") ? QStringLiteral("dialout") : owner;
    const QString refused = com9 + QStringLiteral(" -> ") + there + QLatin1Char('\n') +
                            platform::errorText(EACCES) +
                            QStringLiteral(" - join the \"%1\" group and log in again").arg(group);
    EXPECT_EQ(ui->sbLogin->panelText(2), refused);

    // The first panel and the box are as they always were; the reason was on show with the box.
    ASSERT_EQ(boxes.shown.size(), 2u);
    for (const testsupport::ShownBox& box : boxes.shown) {
        EXPECT_EQ(box.text, QStringLiteral("Port is invalid, try again"));
        EXPECT_EQ(box.title, QStringLiteral("Login"));
        EXPECT_EQ(box.style, 1);
    }
    EXPECT_EQ(panelAtBox, (std::vector<QString>{missing, refused}));
    EXPECT_EQ(status(), QStringLiteral("Port is Invalid! "));
    EXPECT_FALSE(login->portOpened());
    EXPECT_EQ(programEnds, 0);
    EXPECT_EQ(platform::signedInUser(), QString());
}

TEST_F(LoginTest, CancelButtonAndEscEndTheProgram) {
    QTest::mouseClick(ui->cmdCancel, Qt::LeftButton);
    EXPECT_EQ(programEnds, 1);
    EXPECT_FALSE(login->portOpened());
    EXPECT_FALSE(port->open);

    login->show();
    QTest::keyClick(login.get(), Qt::Key_Escape);
    EXPECT_EQ(programEnds, 2);
}

} // namespace
