#include "records/channel_table.h"

namespace records {

namespace {

// Channels 38 and 39 do not exist: the list jumps from 37 to 40. The live-reading address
// steps by hexadecimal 40 per slot from 0140A.
constexpr std::array<ChannelInfo, kChannelCount> kChannels = {{
    {u"30", 16, 0, 112, u">(0140A RX 11)", 55},
    {u"31", 17, 1, 113, u">(0144A RX 11)", 100},
    {u"32", 18, 2, 114, u">(0148A RX 11)", 145},
    {u"33", 19, 3, 115, u">(014CA RX 11)", 190},
    {u"34", 20, 4, 116, u">(0150A RX 11)", 235},
    {u"35", 21, 5, 117, u">(0154A RX 11)", 280},
    {u"36", 22, 6, 118, u">(0158A RX 11)", 325},
    {u"37", 23, 7, 119, u">(015CA RX 11)", 370},
    {u"40", 24, 8, 120, u">(0160A RX 11)", 415},
    {u"41", 25, 9, 121, u">(0164A RX 11)", 460},
    {u"42", 26, 10, 122, u">(0168A RX 11)", 505},
    {u"43", 27, 11, 123, u">(016CA RX 11)", 550},
    {u"44", 28, 12, 124, u">(0170A RX 11)", 595},
    {u"45", 29, 13, 125, u">(0174A RX 11)", 640},
}};

} // namespace

const std::array<ChannelInfo, kChannelCount>& channelTable() {
    return kChannels;
}

const ChannelInfo* channelByListText(const QString& listText) {
    for (const ChannelInfo& channel : kChannels) {
        if (listText == channel.listText)
            return &channel;
    }
    return nullptr;
}

const ChannelInfo* channelByIndex(int index) {
    if (index < kFirstChannelIndex || index > kLastChannelIndex)
        return nullptr;
    return &kChannels[static_cast<std::size_t>(index - kFirstChannelIndex)];
}

} // namespace records
