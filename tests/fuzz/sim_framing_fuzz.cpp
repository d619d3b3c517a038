// The simulated controller fed arbitrary bytes in arbitrary chunks, as they may come over the
// line: the line framing, then the controller's answer to each complete line.
//
// Property: the lines do not depend on how the bytes were chunked and are those of the whole
// stream cut at each line feed (a CR before it removed); no line is longer than the limit, a
// line that reaches the limit is handed on cut to it and the rest up to the next line feed is
// dropped, and no more than the limit waits for its line end. The controller answers only the
// commands it knows, written exactly (">(" + body + ")", an optional CR): the identity block,
// a table read with three address digits, a live reading of one of the fourteen channels, and
// the three calibration-write commands; each answer has the layout of its command, and a
// table read carries the word of that address as the tool decodes it. Any other line gets
// no answer.
#include "fuzz_check.h"

#include "link/protocol.h"
#include "sim/controller.h"
#include "sim/framing.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QList>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

using Line = sim::LineAssembler::Line;

// The lines of a whole stream, worked out here, and what is left waiting.
struct Framing {
    QList<Line> lines;
    qsizetype pending = 0;
};

Framing frame(const QByteArray& stream, qsizetype limit) {
    Framing result;
    qsizetype start = 0;
    while (start <= stream.size()) {
        const qsizetype end = stream.indexOf('\n', start);
        const bool complete = end >= 0;
        const QByteArray segment = stream.mid(start, (complete ? end : stream.size()) - start);
        if (segment.size() >= limit) {
            result.lines.append({segment.left(limit), true});
        } else if (complete) {
            QByteArray text = segment;
            if (text.endsWith('\r'))
                text.chop(1);
            result.lines.append({text, false});
        } else {
            result.pending = segment.size();
        }
        if (!complete)
            break;
        start = end + 1;
    }
    return result;
}

bool allDigits(const QByteArray& text) {
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return !text.isEmpty();
}

enum class Command { None, Identity, TableRead, LiveReading, WriteOn, WriteOff, Calibrate };

// The live-reading addresses: 0140A for channel 30, 40 (hexadecimal) more for each next one.
std::optional<int> liveSlot(const QByteArray& body) {
    for (int slot = 0; slot < sim::kChannelCount; ++slot) {
        const QByteArray address =
            QByteArray::number(0x140A + 0x40 * slot, 16).toUpper().rightJustified(5, '0');
        if (body == address + " RX 11")
            return slot;
    }
    return std::nullopt;
}

// What a line asks the controller, worked out here.
Command commandOf(QByteArray line, int& argument) {
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.size() < 3 || !line.startsWith(">(") || !line.endsWith(')'))
        return Command::None;
    const QByteArray body = line.mid(2, line.size() - 3);
    if (body == "00F00 RX 22")
        return Command::Identity;
    if (body.size() == 9 && body.startsWith("00TRX ") && allDigits(body.mid(6))) {
        argument = body.mid(6).toInt();
        return Command::TableRead;
    }
    if (body == "00T ON")
        return Command::WriteOn;
    if (body == "00T OFF")
        return Command::WriteOff;
    if (body == "00TC" || body.startsWith("00TC "))
        return Command::Calibrate;
    if (const std::optional<int> slot = liveSlot(body)) {
        argument = *slot;
        return Command::LiveReading;
    }
    return Command::None;
}

void checkAnswer(sim::Controller& controller, const QByteArray& line) {
    int argument = -1;
    const Command command = commandOf(line, argument);
    const sim::Response response = controller.handle(line);
    const auto detail = [&] {
        return QString(fuzz::shown(line) + QLatin1String(" answered ") +
                       fuzz::shown(response.bytes));
    };
    if (command == Command::None) {
        FUZZ_CHECK_SHOW(response.kind == sim::Response::Kind::Unknown, detail());
        FUZZ_CHECK_SHOW(response.bytes.isEmpty(), detail());
        return;
    }
    FUZZ_CHECK_SHOW(response.kind == sim::Response::Kind::Reply, detail());
    const QByteArray& reply = response.bytes;
    switch (command) {
    case Command::Identity:
        FUZZ_CHECK_SHOW(reply == controller.identity(), detail());
        FUZZ_CHECK_SHOW(reply.size() == sim::kIdentityLength, detail());
        break;
    case Command::TableRead: {
        FUZZ_CHECK_SHOW(reply.size() == 13 && reply.startsWith('>') && reply.endsWith('\r'),
                        detail());
        FUZZ_CHECK_SHOW(reply.mid(1, 3).toInt() == argument, detail());
        const std::optional<quint16> word = devicelink::protocol::TableReplyWord(reply);
        FUZZ_CHECK_SHOW(word.has_value() && *word == controller.tableWord(argument), detail());
        break;
    }
    case Command::LiveReading:
        FUZZ_CHECK_SHOW(reply.size() == sim::kReadingLength, detail());
        FUZZ_CHECK_SHOW(reply == controller.liveReading(argument), detail());
        break;
    case Command::WriteOn:
        FUZZ_CHECK_SHOW(reply == "OK\r" && controller.writeEnabled(), detail());
        break;
    case Command::WriteOff:
        FUZZ_CHECK_SHOW(reply == "OK\r" && !controller.writeEnabled(), detail());
        break;
    case Command::Calibrate:
        FUZZ_CHECK_SHOW(reply == "OK\r" || reply == "ER\r", detail());
        FUZZ_CHECK_SHOW(controller.writeEnabled() || reply == "ER\r", detail());
        break;
    case Command::None:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // The program's own limit, or a small one so that cut lines come often.
    const qsizetype limit = input.ConsumeBool() ? sim::LineAssembler::kDefaultLimit
                                                : input.ConsumeIntegralInRange<qsizetype>(-1, 40);
    sim::LineAssembler assembler(limit);
    const qsizetype effectiveLimit = limit > 0 ? limit : 1;
    sim::Controller controller;

    QByteArray stream;
    QList<Line> lines;
    while (input.remaining_bytes() > 0) {
        const std::string chunk =
            input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(0, 64));
        stream += QByteArray::fromStdString(chunk);
        for (const Line& line :
             assembler.feed(QByteArrayView(chunk.data(), qsizetype(chunk.size())))) {
            FUZZ_CHECK(line.text.size() <= effectiveLimit);
            FUZZ_CHECK(line.overlong == (line.text.size() == effectiveLimit));
            FUZZ_CHECK(!line.text.contains('\n'));
            lines.append(line);
            // A cut line is never a command; the program does not hand it on.
            if (!line.overlong)
                checkAnswer(controller, line.text);
        }
        FUZZ_CHECK(assembler.pending() < effectiveLimit);
    }

    const Framing expected = frame(stream, effectiveLimit);
    FUZZ_CHECK_SHOW(
        lines.size() == expected.lines.size(),
        QStringLiteral("%1 lines, expected %2").arg(lines.size()).arg(expected.lines.size()));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        FUZZ_CHECK_SHOW(lines[i].text == expected.lines[i].text &&
                            lines[i].overlong == expected.lines[i].overlong,
                        QStringLiteral("line %1: %2, expected %3")
                            .arg(i)
                            .arg(fuzz::shown(lines[i].text), fuzz::shown(expected.lines[i].text)));
    }
    FUZZ_CHECK(assembler.pending() == expected.pending);
    return 0;
}
