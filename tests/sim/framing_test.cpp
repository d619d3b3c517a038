// Cutting the received bytes into command lines, and the exchange record's two forms.
#include "sim/framing.h"
#include "sim/transcript.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

using sim::LineAssembler;

QList<QByteArray> texts(const QList<LineAssembler::Line>& lines) {
    QList<QByteArray> result;
    for (const auto& line : lines) {
        EXPECT_FALSE(line.overlong);
        result.append(line.text);
    }
    return result;
}

TEST(SimFraming, LinesEndAtLfWithOneCrDropped) {
    LineAssembler assembler;
    EXPECT_TRUE(assembler.feed(">(00F00 RX").isEmpty());
    EXPECT_EQ(assembler.pending(), 10);
    EXPECT_TRUE(assembler.feed(" 22)\r").isEmpty());
    EXPECT_EQ(texts(assembler.feed("\n>(00T ON)\r\n>(00T OFF)\n\r\n")),
              (QList<QByteArray>{">(00F00 RX 22)", ">(00T ON)", ">(00T OFF)", ""}));
    EXPECT_EQ(assembler.pending(), 0);
    // A CR elsewhere stays; only the one before LF goes.
    EXPECT_EQ(texts(assembler.feed("a\rb\r\r\n")), (QList<QByteArray>{"a\rb\r"}));
    // NUL and high bytes pass through untouched.
    EXPECT_EQ(texts(assembler.feed(QByteArrayView("\0\xDF\n", 3))),
              (QList<QByteArray>{QByteArray("\0\xDF", 2)}));
}

TEST(SimFraming, OverlongInputIsCutAndItsRestDropped) {
    LineAssembler assembler(12);
    const auto lines = assembler.feed("0123456789abcdef");
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].overlong);
    EXPECT_EQ(lines[0].text, "0123456789ab");
    EXPECT_EQ(assembler.pending(), 0);
    // The rest up to the line end is dropped, then framing starts afresh.
    EXPECT_TRUE(assembler.feed("more junk").isEmpty());
    EXPECT_EQ(assembler.pending(), 0);
    EXPECT_EQ(texts(assembler.feed("\r\n>(00T ON)\r\n")), (QList<QByteArray>{">(00T ON)"}));
    // A line one byte under the limit is whole; one that reaches it is cut.
    EXPECT_EQ(texts(assembler.feed("12345678901\n")), (QList<QByteArray>{"12345678901"}));
    const auto full = assembler.feed("123456789012\n");
    ASSERT_EQ(full.size(), 1);
    EXPECT_TRUE(full[0].overlong);
    EXPECT_EQ(assembler.pending(), 0);
}

TEST(SimFraming, DefaultLimitBoundsTheBuffer) {
    LineAssembler assembler;
    const auto lines = assembler.feed(QByteArray(10000, 'x'));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].text.size(), LineAssembler::kDefaultLimit);
    EXPECT_LT(assembler.pending(), LineAssembler::kDefaultLimit);
}

TEST(SimTranscript, EveryByteIsTheCodePointOfItsValue) {
    EXPECT_EQ(sim::jsonByteString(QByteArrayView("a\0\xDF\r\"\\", 6)),
              R"("a\u0000\u00df\u000d\"\\")");
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QByteArray line = sim::jsonLogLine(1.5, sim::Direction::Out, all);
    ASSERT_TRUE(line.endsWith('\n'));
    EXPECT_EQ(line.count('\n'), 1);
    QJsonParseError error{};
    const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << qPrintable(error.errorString());
    const QString text = object.value(QStringLiteral("text")).toString();
    ASSERT_EQ(text.size(), 256);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(text[b].unicode(), b);
    EXPECT_EQ(object.value(QStringLiteral("dir")).toString(), QStringLiteral("out"));
    EXPECT_FALSE(object.contains(QStringLiteral("ignored")));
    EXPECT_FALSE(object.contains(QStringLiteral("unknown")));
}

TEST(SimTranscript, LogLineHasMillisecondsWithThreeDecimalsAndNotes) {
    sim::LineNotes notes;
    notes.ignored = true;
    EXPECT_EQ(sim::jsonLogLine(12.3456, sim::Direction::In, ">(00T ON)", notes),
              "{\"t\":12.346,\"dir\":\"in\",\"text\":\">(00T ON)\",\"ignored\":true}\n");
    notes = {};
    notes.unknown = true;
    notes.overlong = true;
    EXPECT_EQ(sim::jsonLogLine(0, sim::Direction::In, "x", notes),
              "{\"t\":0.000,\"dir\":\"in\",\"text\":\"x\",\"unknown\":true,\"overlong\":true}\n");
    notes = {};
    notes.dropped = true;
    EXPECT_EQ(sim::jsonLogLine(1, sim::Direction::In, ">(00T ON)", notes),
              "{\"t\":1.000,\"dir\":\"in\",\"text\":\">(00T ON)\",\"dropped\":true}\n");
}

TEST(SimTranscript, ReadableTraceEscapesControlAndHighBytes) {
    EXPECT_EQ(sim::readableBytes(QByteArrayView("  74.7\xDF"
                                                "F\0\r\n\t\\",
                                                13)),
              "  74.7\\xdfF\\x00\\r\\n\\t\\\\");
}

} // namespace
