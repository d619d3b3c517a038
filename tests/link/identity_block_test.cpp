// The identity block read: scripted replies on a fake port, and the date rules.
#include "fakes.h"
#include "link/identity_block.h"
#include "platform/serial/pdq.h"
#include "shell/module1.h"
#include "workbench/controller_identity.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <memory>

using testsupport::BoxAnswerer;
using testsupport::Delivery;
using testsupport::FakePort;
using testsupport::FakeWaits;

namespace {

class IdentityBlockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Module1::ResetSharedState();
        workbench::ControllerIdentity::instance().reset();
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    void replyWith(const QByteArray& bytes) {
        port->responder = [bytes](const QByteArray&, int) {
            return std::vector<Delivery>{{20, bytes}};
        };
    }

    void read() {
        workbench::ControllerIdentity::instance().ReadIdentityBlock(displayDate, displayInfo,
                                                                    terminalDate);
    }

    testsupport::FakeLink link;
    FakeWaits& waits = link.waits;
    FakePort* port = link.port;
    BoxAnswerer boxes;
    QVariant displayDate;
    QString displayInfo;
    QString terminalDate;
};

TEST_F(IdentityBlockTest, WellFormedBlockIsCutIntoThreeFields) {
    replyWith("11/03/00DB-2.110/27/00");
    read();
    ASSERT_EQ(port->sent.size(), 1u);
    EXPECT_EQ(port->sent[0], QByteArray(">(00F00 RX 22)\r\n"));
    EXPECT_EQ(displayDate, QVariant(QStringLiteral("11/03/00")));
    EXPECT_EQ(displayInfo, QStringLiteral("DB-2.1"));
    EXPECT_EQ(terminalDate, QStringLiteral("10/27/00"));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(IdentityBlockTest, NoReplyGivesOneBoxAndBothSubstitutes) {
    read();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Communications Error"));
    EXPECT_EQ(port->sent.size(), 2u);
    EXPECT_EQ(displayDate.typeId(), QMetaType::QDate);
    EXPECT_EQ(displayDate.toDate(), QDate(2000, 5, 19));
    EXPECT_TRUE(displayInfo.isEmpty());
    EXPECT_EQ(terminalDate, QStringLiteral("5/2/00"));
    EXPECT_EQ(devicelink::DateFieldText(displayDate), QStringLiteral("5/19/00"));
}

TEST_F(IdentityBlockTest, DateThenNonDateKeepsTheFirstAndSubstitutesTheLast) {
    replyWith("05/19/00ABCDEFrev 1.23");
    read();
    EXPECT_EQ(displayDate, QVariant(QStringLiteral("05/19/00")));
    EXPECT_EQ(displayInfo, QStringLiteral("ABCDEF"));
    EXPECT_EQ(terminalDate, QStringLiteral("5/2/00"));
}

TEST_F(IdentityBlockTest, BlanksAroundFieldsGoAndBlanksInsideStay) {
    replyWith("02-29-00 A B  31.12.99");
    read();
    EXPECT_EQ(displayDate, QVariant(QStringLiteral("02-29-00")));
    EXPECT_EQ(displayInfo, QStringLiteral("A B"));
    EXPECT_EQ(terminalDate, QStringLiteral("31.12.99"));

    // Only blanks are trimmed: tabs and line ends are the controller's text and stay.
    replyWith("11/03/00\tV2.1\r11/03/00");
    read();
    EXPECT_EQ(displayInfo, QStringLiteral("\tV2.1\r"));
}

TEST_F(IdentityBlockTest, LongShortAndOddRepliesNeverBreakTheCut) {
    replyWith("11/03/00DB-2.110/27/00TRAILING");
    read();
    EXPECT_EQ(terminalDate, QStringLiteral("10/27/00"));

    replyWith(QByteArray("\x00\x00\xff\xfe\x80", 5));
    read();
    EXPECT_EQ(displayDate.toDate(), QDate(2000, 5, 19));
    EXPECT_TRUE(displayInfo.isEmpty());
    EXPECT_EQ(terminalDate, QStringLiteral("5/2/00"));

    replyWith(QByteArray(30, '\0'));
    read();
    EXPECT_EQ(displayDate.toDate(), QDate(2000, 5, 19));
    EXPECT_EQ(terminalDate, QStringLiteral("5/2/00"));
}

TEST(IdentityDates, OnlyRealEightCharacterDatesCount) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_TRUE(devicelink::IsDateText(QStringLiteral("12/31/99")));
    EXPECT_TRUE(devicelink::IsDateText(QStringLiteral("02-29-00"))); // 2000 is a leap year
    EXPECT_TRUE(devicelink::IsDateText(QStringLiteral("31.12.49")));
    EXPECT_FALSE(devicelink::IsDateText(QStringLiteral("02/29/01")));
    EXPECT_FALSE(devicelink::IsDateText(QStringLiteral("31/12/99"))); // month first with "/"
    EXPECT_FALSE(devicelink::IsDateText(QStringLiteral("12.31.99"))); // day first with "."
    EXPECT_FALSE(devicelink::IsDateText(QStringLiteral("12/31-99")));
    EXPECT_FALSE(devicelink::IsDateText(QStringLiteral("rev 1.23")));
    EXPECT_FALSE(devicelink::IsDateText(QString()));
    // The locale's own numeric short form counts too.
    EXPECT_TRUE(devicelink::IsDateText(QStringLiteral("5/2/00")));

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(devicelink::ShortDateText(QDate(2000, 5, 2)), QStringLiteral("02.05.00"));
    QLocale::setDefault(QLocale::system());
}

} // namespace
