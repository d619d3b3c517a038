// The date rules of the identity block: which fields count as dates, and the short date the
// locale writes. The block read itself is the workbench's, tested beside it.
#include "link/identity_block.h"

#include <QDate>
#include <QLocale>
#include <gtest/gtest.h>

namespace {

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
