// The fourteen-channel table checked row by row against the rules its columns follow, and the
// look-ups by list text and by index at and beyond the ends of the table.
#include "link/protocol.h"
#include "records/channel_table.h"

#include <QString>
#include <gtest/gtest.h>

using records::channelByIndex;
using records::channelByListText;
using records::channelTable;

TEST(ChannelTable, EveryRowFollowsTheAddressingRules) {
    const int numbers[] = {30, 31, 32, 33, 34, 35, 36, 37, 40, 41, 42, 43, 44, 45};
    ASSERT_EQ(records::channelTable().size(), std::size(numbers));
    for (int slot = 0; slot < 14; ++slot) {
        const records::ChannelInfo& row = records::channelTable()[static_cast<std::size_t>(slot)];
        SCOPED_TRACE(numbers[slot]);
        EXPECT_EQ(row.listText.toString(), QString::number(numbers[slot]));
        EXPECT_EQ(row.slot, slot);
        EXPECT_EQ(row.index, 16 + slot);
        EXPECT_EQ(row.setupAddress, 112 + slot);
        EXPECT_EQ(row.reportOffset, 55 + 45 * slot);
        const QString address =
            QString::number(0x0140A + 0x40 * slot, 16).toUpper().rightJustified(5, u'0');
        EXPECT_EQ(row.liveReadCommand.toString(), ">(" + address + " RX 11)");
        // The line the program sends is the table's command with its line end.
        EXPECT_EQ(devicelink::protocol::LiveReadCommand(slot),
                  row.liveReadCommand.toString() + "\r\n");
    }
    EXPECT_FALSE(devicelink::protocol::LiveReadCommand(-1));
    EXPECT_FALSE(devicelink::protocol::LiveReadCommand(14));
    // The two ends as the controller knows them.
    EXPECT_EQ(records::channelTable().front().liveReadCommand.toString(), ">(0140A RX 11)");
    EXPECT_EQ(records::channelTable().back().liveReadCommand.toString(), ">(0174A RX 11)");
}

TEST(ChannelTable, LookUpByListTextFindsOnlyTheFourteenChannelTexts) {
    for (const records::ChannelInfo& row : records::channelTable())
        EXPECT_EQ(records::channelByListText(row.listText.toString()), &row);
    for (const char* text : {"38", "39", "29", "46", "", " 30", "30 ", "030", "3"})
        EXPECT_EQ(records::channelByListText(QString::fromLatin1(text)), nullptr) << text;
}

TEST(ChannelTable, LookUpByIndexCoversSixteenToTwentyNine) {
    for (const records::ChannelInfo& row : records::channelTable())
        EXPECT_EQ(records::channelByIndex(row.index), &row);
    EXPECT_EQ(records::channelByIndex(16)->listText.toString(), "30");
    EXPECT_EQ(records::channelByIndex(24)->listText.toString(), "40");
    EXPECT_EQ(records::channelByIndex(29)->listText.toString(), "45");
    for (int index : {-1, 0, 15, 30, 38})
        EXPECT_EQ(records::channelByIndex(index), nullptr) << index;
}
