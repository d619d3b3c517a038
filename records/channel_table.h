// The fourteen analog channels of the TQ-8400 in list order, with the controller addresses and
// the report-file position that belong to each.
#pragma once

#include <QString>
#include <QStringView>

#include <array>

namespace records {

struct ChannelInfo {
    // Channel number as the channel list shows it, "30" to "37" and "40" to "45".
    QStringView listText;
    // Channel index, 16 to 29 (`vChannelIndex`).
    int index;
    // Index minus 16: the row of `sChannelSetup` and the channel field of the write command.
    int slot;
    // Table address of the channel's setup word, 112 + slot.
    int setupAddress;
    // Command body of the live reading, without the CR LF that ends the command line.
    QStringView liveReadCommand;
    // First byte of the channel's "LoVolt" field in the report file, 55 + 45 * slot.
    int reportOffset;
};

inline constexpr int kChannelCount = 14;
inline constexpr int kFirstChannelIndex = 16;
inline constexpr int kLastChannelIndex = 29;

// All fourteen channels, in the order of the channel list and of the Next button.
const std::array<ChannelInfo, kChannelCount>& channelTable();

// The channel whose list text this is, or nullptr when the text names no channel ("38", "").
const ChannelInfo* channelByListText(const QString& listText);

// The channel with this index (16 to 29), or nullptr for any other number.
const ChannelInfo* channelByIndex(int index);

} // namespace records
