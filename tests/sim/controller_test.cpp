// The simulated controller's answers, without a pty: identity, table reads, live readings,
// the calibration write and the fault options that change content.
#include "sim/controller.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using sim::Controller;
using sim::Response;

QByteArray line(const char* body) {
    return QByteArray(">(") + body + ")";
}

// The reply bytes; fails the test when the controller did not answer.
QByteArray ask(Controller& controller, const QByteArray& commandLine) {
    const Response response = controller.handle(commandLine);
    EXPECT_EQ(response.kind, Response::Kind::Reply) << commandLine.constData();
    return response.bytes;
}

QByteArray reading(Controller& controller, int slot) {
    return ask(controller, ">(" + sim::liveReadingBody(slot) + ")");
}

QByteArray bytes(const char* text, qsizetype size) {
    return QByteArray(text, size);
}

TEST(SimChannelTable, SlotsChannelsAndLiveAddresses) {
    EXPECT_EQ(sim::channelOfSlot(0), 30);
    EXPECT_EQ(sim::channelOfSlot(7), 37);
    EXPECT_EQ(sim::channelOfSlot(8), 40);
    EXPECT_EQ(sim::channelOfSlot(13), 45);
    EXPECT_EQ(sim::channelOfSlot(14), -1);
    EXPECT_EQ(sim::channelOfSlot(-1), -1);
    EXPECT_EQ(sim::slotOfChannel(38), -1);
    EXPECT_EQ(sim::slotOfChannel(39), -1);
    EXPECT_EQ(sim::slotOfChannel(46), -1);
    for (int slot = 0; slot < sim::kChannelCount; ++slot)
        EXPECT_EQ(sim::slotOfChannel(sim::channelOfSlot(slot)), slot);
    EXPECT_EQ(sim::liveReadingBody(0), "0140A RX 11");
    EXPECT_EQ(sim::liveReadingBody(3), "014CA RX 11");
    EXPECT_EQ(sim::liveReadingBody(13), "0174A RX 11");
    EXPECT_TRUE(sim::liveReadingBody(14).isEmpty());
}

TEST(SimIdentity, DefaultIsTwoDatesAroundSixCharacters) {
    Controller controller;
    const QByteArray reply = ask(controller, line("00F00 RX 22"));
    EXPECT_EQ(reply, "11/03/00 V2.1 10/27/00");
    ASSERT_EQ(reply.size(), sim::kIdentityLength);
    for (int start : {0, 14}) {
        const QByteArray date = reply.mid(start, 8);
        EXPECT_EQ(date[2], '/') << date.constData();
        EXPECT_EQ(date[5], '/') << date.constData();
    }
}

TEST(SimIdentity, SetTextIsSentAsGivenWhateverItsLength) {
    Controller controller;
    for (const QByteArray& text :
         {QByteArray(), QByteArray("SHORT"), QByteArray("05/19/00  ab  99/99/99 and more"),
          bytes("\xDF\x00\xFF", 3)}) {
        controller.setIdentity(text);
        EXPECT_EQ(ask(controller, line("00F00 RX 22")), text);
    }
}

TEST(SimTableRead, SetupWordsComeAsLowAndHighByteDigits) {
    Controller controller;
    // Channel 30: word 0x1200, low byte 0, high byte 18.
    EXPECT_EQ(ask(controller, line("00TRX 112")), ">112:000,018\r");
    // Channel 32 carries bits in its low byte: 0x8135.
    EXPECT_EQ(ask(controller, line("00TRX 114")), ">114:053,129\r");
    controller.setSetupWord(13, 0xFFFF);
    EXPECT_EQ(ask(controller, line("00TRX 125")), ">125:255,255\r");

    for (int slot = 0; slot < sim::kChannelCount; ++slot) {
        const QByteArray address = QByteArray::number(112 + slot);
        const QByteArray reply = ask(controller, line("00TRX " + address));
        ASSERT_EQ(reply.size(), 13) << reply.constData();
        EXPECT_EQ(reply.left(5), '>' + address + ':');
        EXPECT_EQ(reply[8], ',');
        EXPECT_EQ(reply[12], '\r');
        // Characters 6-8 and 10-12 counted from 1.
        const int low = reply.mid(5, 3).toInt();
        const int high = reply.mid(9, 3).toInt();
        EXPECT_EQ(low + 256 * high, controller.setupWord(slot)) << slot;
    }
}

TEST(SimTableRead, AddressesWithoutSetupWordReadZero) {
    Controller controller;
    EXPECT_EQ(ask(controller, line("00TRX 111")), ">111:000,000\r");
    EXPECT_EQ(ask(controller, line("00TRX 126")), ">126:000,000\r");
    EXPECT_EQ(ask(controller, line("00TRX 000")), ">000:000,000\r");
    EXPECT_EQ(ask(controller, line("00TRX 999")), ">999:000,000\r");
}

TEST(SimSetupWords, DefaultsCoverEveryTypeAndUnitOfTheCatalogue) {
    std::set<int> types;
    std::set<int> units;
    bool lowByteUsed = false;
    for (int slot = 0; slot < sim::kChannelCount; ++slot) {
        const quint16 word = Controller::defaultSetupWord(slot);
        types.insert(sim::typeOfWord(word));
        units.insert(sim::unitOfWord(word));
        lowByteUsed = lowByteUsed || (word & 0xFF) != 0;
    }
    EXPECT_EQ(types, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(units, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(lowByteUsed);
}

TEST(SimLiveReading, PressureChannelIsValueBlankUnit) {
    Controller controller;
    // Channel 30: 0 - 100 PSIG, 1.00 V -> count 819; (819 - 409) * 100 / 3276 = 12.515.
    EXPECT_EQ(Controller::countOfVoltage(1.0), 819);
    EXPECT_EQ(reading(controller, 0), "  12.5 PSIG");
    // Channel 33: 0 - 50 KPa, 1.75 V -> count 1433; 15.629 -> one NUL pads to 11.
    EXPECT_EQ(reading(controller, 3), bytes("  15.6 KPa\0", 11));
}

TEST(SimLiveReading, TemperatureChannelCarriesDegreeByteAndNulPadding) {
    Controller controller;
    // Channel 31: Deg2 Fahrenheit, -40..572; 1.25 V -> count 1023 -> 74.70.
    const QByteArray fahrenheit = reading(controller, 1);
    EXPECT_EQ(fahrenheit, bytes("  74.7\xDF"
                                "F\0\0\0",
                                11));
    ASSERT_EQ(fahrenheit.size(), 11);
    EXPECT_EQ(static_cast<unsigned char>(fahrenheit[6]), 0xDF);
    // Channel 32: Deg1 Celsius, -15..148.8; at 0.5 V (count 409) it reads the bottom.
    controller.setVoltage(2, 0.5);
    EXPECT_EQ(reading(controller, 2), bytes(" -15.0\xDF"
                                            "C\0\0\0",
                                            11));
}

TEST(SimLiveReading, EveryChannelIsElevenBytesEndingInItsUnit) {
    Controller controller;
    for (int slot = 0; slot < sim::kChannelCount; ++slot) {
        const QByteArray reply = reading(controller, slot);
        ASSERT_EQ(reply.size(), sim::kReadingLength) << slot;
        const QByteArray unit = Controller::unitText(sim::unitOfWord(controller.setupWord(slot)));
        QByteArray trimmed = reply;
        while (trimmed.endsWith('\0'))
            trimmed.chop(1);
        EXPECT_TRUE(trimmed.endsWith(unit)) << slot;
        EXPECT_FALSE(trimmed.contains('\0')) << slot;
        // The value in the first six characters, from the straight-line formula.
        const sim::Calibration c = controller.calibration(slot);
        const int count = Controller::countOfVoltage(controller.voltage(slot));
        const double expected =
            c.loRange + (count - c.loCount) * (c.hiRange - c.loRange) / (c.hiCount - c.loCount);
        EXPECT_NEAR(reply.left(6).trimmed().toDouble(), expected, 0.51) << slot;
    }
}

TEST(SimLiveReading, FormatEdges) {
    // BAR has two decimals.
    EXPECT_EQ(Controller::formatReading(45.016, 6), bytes(" 45.02 BAR\0", 11));
    // Too wide with decimals: whole number; still too wide: stars.
    EXPECT_EQ(Controller::formatReading(123456.7, 2), "123457 PSIG");
    EXPECT_EQ(Controller::formatReading(-12345.6, 2), "-12346 PSIG");
    EXPECT_EQ(Controller::formatReading(1e9, 2), "****** PSIG");
    // A tiny negative value shows no minus sign.
    EXPECT_EQ(Controller::formatReading(-0.04, 2), "   0.0 PSIG");
    // Halves round away from zero.
    EXPECT_EQ(Controller::formatReading(2.25, 7), "   2.3 NONE");
    EXPECT_EQ(Controller::formatReading(-2.25, 8), "  -2.3 PSIA");
    // A unit code the controller does not know: the value and NULs.
    EXPECT_EQ(Controller::formatReading(1.0, 9), bytes("   1.0\0\0\0\0\0", 11));
}

TEST(SimLiveReading, OnlyTheFourteenAddressesAreReadings) {
    Controller controller;
    for (const char* body : {"0141A RX 11", "0178A RX 11", "013CA RX 11", "014cA RX 11",
                             "0140A RX 22", "0140A RX 11 ", "140A RX 11"})
        EXPECT_EQ(controller.handle(line(body)).kind, Response::Kind::Unknown) << body;
}

TEST(SimCounts, VoltageToCountTruncatesAndClamps) {
    EXPECT_EQ(Controller::countOfVoltage(0.0), 0);
    EXPECT_EQ(Controller::countOfVoltage(0.1), 81);
    EXPECT_EQ(Controller::countOfVoltage(0.5), 409);
    EXPECT_EQ(Controller::countOfVoltage(2.5), 2047);
    EXPECT_EQ(Controller::countOfVoltage(4.5), 3685);
    EXPECT_EQ(Controller::countOfVoltage(5.0), 4095);
    EXPECT_EQ(Controller::countOfVoltage(7.0), 4095);
    EXPECT_EQ(Controller::countOfVoltage(-1.0), 0);
}

TEST(SimCalibration, DefaultsFollowTypeAndUnit) {
    const auto check = [](quint16 word, double lo, double hi) {
        const sim::Calibration c = Controller::defaultCalibration(word);
        EXPECT_EQ(c.loCount, 409);
        EXPECT_EQ(c.hiCount, 3685);
        EXPECT_DOUBLE_EQ(c.loRange, lo) << std::hex << word;
        EXPECT_DOUBLE_EQ(c.hiRange, hi) << std::hex << word;
    };
    check(0x0200, 0, 50);
    check(0x6200, 0, 5000);
    check(0x7700, 0, 50);
    check(0x9000, -40, 572);
    check(0x9100, -40, 300);
    check(0x8000, 5, 300);
    check(0x8100, -15, 148.8);
    check(0x0100, -15, 148.8); // a pressure type with Celsius takes the temperature span
    check(0xA200, 0, 100);     // type 10: its first digit is 1
}

TEST(SimCalibrationWrite, TcBetweenTOnAndTOffChangesTheReading) {
    Controller controller;
    ASSERT_EQ(reading(controller, 0), "  12.5 PSIG");
    EXPECT_EQ(ask(controller, line("00T ON")), "OK\r");
    EXPECT_TRUE(controller.writeEnabled());
    // 0 V .. 5 V over 0 .. 500: 1.00 V (count 819) reads 100.0.
    EXPECT_EQ(ask(controller, line("00TC 00 0000 +000.0 4095 +500.0")), "OK\r");
    EXPECT_EQ(ask(controller, line("00T OFF")), "OK\r");
    EXPECT_FALSE(controller.writeEnabled());
    EXPECT_EQ(reading(controller, 0), " 100.0 PSIG");
    const sim::Calibration c = controller.calibration(0);
    EXPECT_EQ(c.loCount, 0);
    EXPECT_EQ(c.hiCount, 4095);
    EXPECT_DOUBLE_EQ(c.loRange, 0.0);
    EXPECT_DOUBLE_EQ(c.hiRange, 500.0);
    // Only the addressed channel changed.
    EXPECT_EQ(reading(controller, 13), "  46.9 PSIG");

    // Slot 13 is channel 45; negative and point-last range texts are taken as written.
    controller.handle(line("00T ON"));
    EXPECT_EQ(ask(controller, line("00TC 13 0000 -0.862 4095 +2500.")), "OK\r");
    const sim::Calibration last = controller.calibration(13);
    EXPECT_DOUBLE_EQ(last.loRange, -0.862);
    EXPECT_DOUBLE_EQ(last.hiRange, 2500.0);

    // A new setup word brings back the default calibration.
    controller.setSetupWord(0, 0x1200);
    EXPECT_EQ(reading(controller, 0), "  12.5 PSIG");
}

TEST(SimCalibrationWrite, TcOutsideTOnTOffIsRefusedAndChangesNothing) {
    Controller controller;
    const QByteArray tc = line("00TC 00 0000 +000.0 4095 +500.0");
    EXPECT_EQ(ask(controller, tc), "ER\r");
    EXPECT_EQ(reading(controller, 0), "  12.5 PSIG");
    controller.handle(line("00T ON"));
    controller.handle(line("00T OFF"));
    EXPECT_EQ(ask(controller, tc), "ER\r");
    EXPECT_EQ(reading(controller, 0), "  12.5 PSIG");
    // T OFF without T ON is still answered.
    EXPECT_EQ(ask(controller, line("00T OFF")), "OK\r");
}

TEST(SimCalibrationWrite, MalformedTcIsRefusedAndChangesNothing) {
    Controller controller;
    ASSERT_EQ(ask(controller, line("00T ON")), "OK\r");
    for (const char* body : {
             "00TC",
             "00TC 14 0409 +000.0 3685 +050.0",  // no slot 14
             "00TC 0 0409 +000.0 3685 +050.0",   // one-digit slot
             "00TC 00 4096 +000.0 3685 +050.0",  // count above 4095
             "00TC 00 409 +000.0 3685 +050.0",   // three-digit count
             "00TC 00 0409 +00.0 3685 +050.0",   // range text too short
             "00TC 00 0409 050.00 3685 +050.0",  // no sign
             "00TC 00 0409 +0.0.0 3685 +050.0",  // two points
             "00TC 00 0409 +-00.0 3685 +050.0",  // second sign
             "00TC 00 0409 +000.0 3685 +05A.0",  // letter
             "00TC 00 04O9 +000.0 3685 +050.0",  // letter O in a count
             "00TC 00  0409 +000.0 3685 +050.0", // two blanks
             "00TC 00 0409 +000.0 3685",         // missing field
             "00TC 00 0409 +000.0 3685 +050.0 1" // extra field
         }) {
        EXPECT_EQ(ask(controller, line(body)), "ER\r") << body;
        EXPECT_EQ(reading(controller, 0), "  12.5 PSIG") << body;
    }
    // Refusals do not end the write.
    EXPECT_EQ(ask(controller, line("00TC 00 0409 +000.0 3685 +050.0")), "OK\r");
}

TEST(SimCalibrationWrite, EqualCountsReadTheLowRange) {
    Controller controller;
    controller.handle(line("00T ON"));
    ASSERT_EQ(ask(controller, line("00TC 00 2000 +010.0 2000 +090.0")), "OK\r");
    EXPECT_EQ(reading(controller, 0), "  10.0 PSIG");
}

TEST(SimCommands, MalformedLinesAreUnknownAndHaveNoEffect) {
    Controller controller;
    for (const QByteArray& text :
         {QByteArray(), QByteArray(">()"), QByteArray("00T ON"), QByteArray("(00T ON)"),
          QByteArray(">(00T ON"), QByteArray(">(00T ON) "), QByteArray(" >(00T ON)"),
          QByteArray(">(00t on)"), QByteArray(">(00T ON )"), QByteArray(">(00TRX 12)"),
          QByteArray(">(00TRX 1120)"), QByteArray(">(00TRX 11A)"), QByteArray(">(00F00 RX 11)"),
          QByteArray(">(00TCX 00)"), QByteArray(">(00T ON)\r\r"), bytes(">(00T ON)\0", 10)}) {
        const Response response = controller.handle(text);
        EXPECT_EQ(response.kind, Response::Kind::Unknown) << text.toPercentEncoding().constData();
        EXPECT_TRUE(response.bytes.isEmpty());
    }
    EXPECT_FALSE(controller.writeEnabled());
    // One trailing CR is the end of the line and is tolerated.
    EXPECT_EQ(ask(controller, ">(00T ON)\r"), "OK\r");
}

TEST(SimFaults, IgnoreFirstLosesOnlyTheFirstMatchingCommand) {
    Controller controller;
    controller.addIgnoreFirst("00F00 RX 22");
    EXPECT_EQ(ask(controller, line("00TRX 112")), ">112:000,018\r");
    EXPECT_EQ(controller.handle(line("00F00 RX 22")).kind, Response::Kind::Ignored);
    EXPECT_EQ(ask(controller, line("00F00 RX 22")), Controller::defaultIdentity());
    EXPECT_EQ(ask(controller, line("00F00 RX 22")), Controller::defaultIdentity());
}

TEST(SimFaults, IgnoredCommandHasNoEffect) {
    Controller controller;
    controller.addIgnoreFirst("00T ON");
    EXPECT_EQ(controller.handle(line("00T ON")).kind, Response::Kind::Ignored);
    EXPECT_EQ(ask(controller, line("00TC 00 0000 +000.0 4095 +500.0")), "ER\r");
    EXPECT_EQ(reading(controller, 0), "  12.5 PSIG");
}

TEST(SimFaults, SilentAnswersNothingButUnknownStaysUnknown) {
    Controller controller;
    controller.setSilent(true);
    EXPECT_EQ(controller.handle(line("00F00 RX 22")).kind, Response::Kind::Ignored);
    EXPECT_EQ(controller.handle(line("00T ON")).kind, Response::Kind::Ignored);
    EXPECT_FALSE(controller.writeEnabled());
    EXPECT_EQ(controller.handle(line("nonsense")).kind, Response::Kind::Unknown);
    controller.setSilent(false);
    EXPECT_EQ(ask(controller, line("00T ON")), "OK\r");
}

TEST(SimFaults, PartialCutsEveryReply) {
    Controller controller;
    controller.setPartialLength(5);
    EXPECT_EQ(ask(controller, line("00F00 RX 22")), "11/03");
    EXPECT_EQ(ask(controller, line("00TRX 112")), ">112:");
    EXPECT_EQ(ask(controller, line("00T ON")), "OK\r"); // shorter than the cut
    controller.setPartialLength(0);
    const Response empty = controller.handle(line("00F00 RX 22"));
    EXPECT_EQ(empty.kind, Response::Kind::Reply);
    EXPECT_TRUE(empty.bytes.isEmpty());
}

TEST(SimFaults, GarbageKeepsLengthAndIsDeterministic) {
    Controller first;
    Controller second;
    Controller otherSeed;
    first.setGarbage(true, 7);
    second.setGarbage(true, 7);
    otherSeed.setGarbage(true, 8);
    const QByteArray a = ask(first, line("00F00 RX 22"));
    EXPECT_EQ(a.size(), 22);
    EXPECT_NE(a, Controller::defaultIdentity());
    EXPECT_EQ(ask(second, line("00F00 RX 22")), a);
    EXPECT_NE(ask(otherSeed, line("00F00 RX 22")), a);
    // The stream goes on: the next reply is not a repeat of the first.
    const QByteArray b = ask(first, line("00F00 RX 22"));
    EXPECT_EQ(b.size(), 22);
    EXPECT_NE(b, a);
    EXPECT_EQ(reading(first, 0).size(), 11);
    // The command behind a garbled reply still takes effect.
    EXPECT_EQ(ask(first, line("00T ON")).size(), 3);
    EXPECT_TRUE(first.writeEnabled());
    // With a cut as well: garbage first, then the cut.
    second.setPartialLength(4);
    EXPECT_EQ(ask(second, line("00F00 RX 22")), b.left(4));
}

TEST(SimFaults, FaultOnConfinesFaultsToItsKindsAndTheDeviceGoesInOneReply) {
    using sim::CommandKind;
    // Every kind has its name, and only those names are kinds.
    for (int i = 0; i < sim::kCommandKindCount; ++i) {
        const auto kind = static_cast<CommandKind>(i);
        EXPECT_EQ(sim::commandKindByName(sim::commandKindName(kind)), kind);
    }
    EXPECT_FALSE(sim::commandKindByName("TON").has_value());
    EXPECT_FALSE(sim::commandKindByName("").has_value());

    // Silence on T ON alone: the identity is answered whole and unfaulted, T ON is lost with
    // its effect, so the calibration that follows is refused.
    sim::CommandKinds writeOn;
    writeOn.insert(CommandKind::WriteOn);
    Controller silentOn;
    silentOn.setFaultKinds(writeOn);
    silentOn.setSilent(true);
    const Response identity = silentOn.handle(line("00F00 RX 22"));
    EXPECT_EQ(identity.bytes, Controller::defaultIdentity());
    EXPECT_FALSE(identity.faulted);
    const Response on = silentOn.handle(line("00T ON"));
    EXPECT_EQ(on.kind, Response::Kind::Ignored);
    EXPECT_TRUE(on.faulted);
    EXPECT_EQ(ask(silentOn, line("00TC 00 0000 +000.0 4095 +500.0")), "ER\r");

    // Garbage and a cut on table reads alone; the live reading stays whole.
    sim::CommandKinds table;
    table.insert(CommandKind::TableRead);
    Controller garbled;
    garbled.setFaultKinds(table);
    garbled.setGarbage(true, 8400);
    garbled.setPartialLength(6);
    const Response tableReply = garbled.handle(line("00TRX 112"));
    EXPECT_TRUE(tableReply.faulted);
    EXPECT_EQ(tableReply.bytes.size(), 6);
    EXPECT_NE(tableReply.bytes, QByteArray(">112:0"));
    EXPECT_EQ(reading(garbled, 0), "  12.5 PSIG");

    // The device goes in the middle of the first live reading: that reply is cut and marked
    // as the last; the commands before it are untouched and it happens only once.
    sim::CommandKinds live;
    live.insert(CommandKind::LiveReading);
    Controller goes;
    goes.setFaultKinds(live);
    goes.setHangupInReply(4);
    const Response before = goes.handle(line("00TRX 112"));
    EXPECT_EQ(before.bytes, ">112:000,018\r");
    EXPECT_FALSE(before.lastBeforeHangup);
    const Response cut = goes.handle(line("0140A RX 11"));
    EXPECT_EQ(cut.bytes, "  12");
    EXPECT_TRUE(cut.lastBeforeHangup);
    const Response after = goes.handle(line("0140A RX 11"));
    EXPECT_EQ(after.bytes, "  12.5 PSIG");
    EXPECT_FALSE(after.lastBeforeHangup);

    // Without --fault-on every kind is faulted, as before the option existed.
    Controller plain;
    EXPECT_EQ(plain.faultKinds(), sim::CommandKinds::all());
    EXPECT_TRUE(plain.handle(line("00T OFF")).faulted);
}

} // namespace
