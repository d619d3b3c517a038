// The login screen driven through its real widgets, on a fake port and clock.
#include "app/module1.h"
#include "fakes.h"
#include "login/frm_login.h"
#include "platform/pdq.h"
#include "platform/program_end.h"
#include "platform/status_bar.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using testsupport::BoxAnswerer;
using testsupport::FakePort;
using testsupport::FakeWaits;

namespace {

class LoginTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Module1::ResetSharedState();
        port->open = false;
        port->goodPorts = {1, 2};
        platform::setProgramEndHook([this](int) { ++programEnds; });
        login = std::make_unique<frmLogin>();
        login->show();
    }
    void TearDown() override {
        login.reset();
        platform::setProgramEndHook({});
    }

    QString status() const { return login->sbLogin->panelText(1); }
    void pickPort(int index) {
        login->cboComPort->setCurrentIndex(index);
        emit login->cboComPort->activated(index);
    }

    testsupport::FakeLink link;
    FakeWaits& waits = link.waits;
    FakePort* port = link.port;
    BoxAnswerer boxes;
    int programEnds = 0;
    std::unique_ptr<frmLogin> login;
};

TEST(LoginUserName, ProposalFollowsTheTenCharacterBuffer) {
    EXPECT_EQ(frmLogin::ProposedUserName(QStringLiteral("technicia")), QStringLiteral("technicia"));
    EXPECT_EQ(frmLogin::ProposedUserName(QStringLiteral("technician")), QString());
    EXPECT_EQ(frmLogin::ProposedUserName(QStringLiteral("a.much.longer.name")), QString());
    EXPECT_EQ(frmLogin::ProposedUserName(QString()), QString());
}

TEST_F(LoginTest, FormStartsWithPortOneAndNineItems) {
    EXPECT_EQ(login->windowTitle(), QStringLiteral("Login"));
    ASSERT_EQ(login->cboComPort->count(), 9);
    EXPECT_EQ(login->cboComPort->itemText(0), QStringLiteral("1"));
    EXPECT_EQ(login->cboComPort->itemText(8), QStringLiteral("9"));
    EXPECT_EQ(login->cboComPort->currentText(), QStringLiteral("1"));
    EXPECT_EQ(Module1::iComPort, 1);
    EXPECT_EQ(status(), QStringLiteral("Status"));
    EXPECT_EQ(login->txtUserName->accessibleDescription(), QStringLiteral("txtUserName"));
    EXPECT_FALSE(login->txtUserName->accessibleName().isEmpty());
}

TEST_F(LoginTest, EmptyNameIsRefusedAndBlankNameAccepted) {
    login->txtUserName->clear();
    QTest::mouseClick(login->cmdOK, Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Login"));
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Invalid User Name, try again!"));
    EXPECT_EQ(boxes.shown[0].style, 0);
    EXPECT_EQ(status(), QStringLiteral("Error! Invalid User Name. Please Re-enter."));
    EXPECT_FALSE(port->open);
    EXPECT_FALSE(login->OK);

    login->txtUserName->setText(QStringLiteral("   "));
    QTest::mouseClick(login->cmdOK, Qt::LeftButton);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(login->OK);
    EXPECT_TRUE(port->open);
}

TEST_F(LoginTest, UntouchedListOpensPortOneWithTheExactStatusAndPause) {
    login->txtUserName->setText(QStringLiteral("tech"));
    QTest::mouseClick(login->cmdOK, Qt::LeftButton);
    EXPECT_EQ(port->portNumber, 1);
    EXPECT_TRUE(port->open);
    EXPECT_EQ(status(), QStringLiteral("ComPort 1 Opened Successfully!"));
    EXPECT_EQ(waits.sleeps, std::vector<int>({500}));
    EXPECT_TRUE(login->OK);
    EXPECT_FALSE(login->isVisible());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LoginTest, TypedPortTextIsIgnoredAndThePickedItemUsed) {
    login->txtUserName->setText(QStringLiteral("tech"));
    pickPort(1); // "2"
    login->cboComPort->setFocus();
    login->cboComPort->lineEdit()->selectAll();
    QTest::keyClicks(login->cboComPort->lineEdit(), QStringLiteral("7"));
    EXPECT_EQ(login->cboComPort->currentText(), QStringLiteral("7"));
    QTest::mouseClick(login->cmdOK, Qt::LeftButton);
    EXPECT_EQ(port->portNumber, 2);
    EXPECT_EQ(status(), QStringLiteral("ComPort 2 Opened Successfully!"));
}

TEST_F(LoginTest, BadPortThenGoodPort) {
    login->txtUserName->setText(QStringLiteral("tech"));
    pickPort(4); // "5" does not open
    boxes.answers = {platform::vbOK};
    boxes.onShow = [this](const testsupport::ShownBox&) {
        // The status changes only after the box is closed.
        EXPECT_EQ(status(), QStringLiteral("Status"));
    };
    QTest::mouseClick(login->cmdOK, Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Port is invalid, try again"));
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Login"));
    EXPECT_EQ(boxes.shown[0].style, 1);
    EXPECT_EQ(status(), QStringLiteral("Port is Invalid! "));
    EXPECT_FALSE(login->OK);
    EXPECT_TRUE(login->isVisible());
    EXPECT_EQ(programEnds, 0);

    boxes.onShow = nullptr;
    pickPort(0);
    QTest::mouseClick(login->cmdOK, Qt::LeftButton);
    EXPECT_TRUE(login->OK);
    EXPECT_TRUE(port->open);
}

TEST_F(LoginTest, CancelInTheFailureBoxEndsTheProgram) {
    login->txtUserName->setText(QStringLiteral("tech"));
    pickPort(8);
    boxes.answers = {platform::vbCancel};
    QTest::mouseClick(login->cmdOK, Qt::LeftButton);
    EXPECT_EQ(programEnds, 1);
    EXPECT_FALSE(login->OK);
    EXPECT_FALSE(port->open);
}

TEST_F(LoginTest, CancelButtonAndEscEndTheProgram) {
    QTest::mouseClick(login->cmdCancel, Qt::LeftButton);
    EXPECT_EQ(programEnds, 1);
    EXPECT_FALSE(login->OK);
    EXPECT_FALSE(port->open);

    login->show();
    QTest::keyClick(login.get(), Qt::Key_Escape);
    EXPECT_EQ(programEnds, 2);
}

} // namespace
