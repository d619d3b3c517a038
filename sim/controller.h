// The simulated TQ-8400 controller: what it holds and how it answers one command line.
// No input or output happens here: the Simulator (simulator.h) moves the bytes over its
// pseudo-terminal and asks this class for each reply.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>

#include <array>
#include <cstdint>
#include <optional>

namespace sim {

// Fourteen analog channels: slot 0..13 stands for channel 30..37, 40..45.
inline constexpr int kChannelCount = 14;
// Table address of the setup word of slot 0; slot n is at 112 + n.
inline constexpr int kFirstSetupAddress = 112;
// Converter counts at 5 volts full scale.
inline constexpr int kFullScaleCount = 4095;
// Length of a live reading and of the identity block as the tool asks for them.
inline constexpr int kReadingLength = 11;
inline constexpr int kIdentityLength = 22;

// The kinds of command the controller knows, as the fault options name them: "identity",
// "table", "live", "ton", "tc" and "toff".
enum class CommandKind { Identity, TableRead, LiveReading, WriteOn, Calibrate, WriteOff };
inline constexpr int kCommandKindCount = 6;
QByteArray commandKindName(CommandKind kind);
std::optional<CommandKind> commandKindByName(QByteArrayView name);

// A set of command kinds.
class CommandKinds {
  public:
    static CommandKinds all() { return CommandKinds((1u << kCommandKindCount) - 1); }
    CommandKinds() = default; // none
    void insert(CommandKind kind) { bits_ |= bit(kind); }
    bool contains(CommandKind kind) const { return (bits_ & bit(kind)) != 0; }
    bool empty() const { return bits_ == 0; }
    bool operator==(const CommandKinds&) const = default;

  private:
    explicit CommandKinds(unsigned bits) : bits_(bits) {}
    static unsigned bit(CommandKind kind) { return 1u << static_cast<unsigned>(kind); }
    unsigned bits_ = 0;
};

// Channel number (30..37, 40..45) of a slot, or -1 for a slot outside 0..13.
int channelOfSlot(int slot);
// Slot of a channel number, or -1 when the controller has no such channel.
int slotOfChannel(int channel);
// Body of the live-reading command of a slot, e.g. "0140A RX 11" for slot 0.
QByteArray liveReadingBody(int slot);

// A command line the controller knows: its kind, its body (the text between ">(" and ")")
// and the table address or slot it names (0 for the other kinds).
struct Command {
    CommandKind kind = CommandKind::Identity;
    QByteArray body;
    int argument = 0;
};
// The command of a line without its line end (a trailing CR is tolerated); nothing when the
// line is not a command the controller knows.
std::optional<Command> parseCommand(QByteArrayView line);

// Sensor type and unit digits of a setup word (bits 15-12 and 11-8; the low byte is unused).
inline int typeOfWord(quint16 word) {
    return word >> 12;
}
inline int unitOfWord(quint16 word) {
    return (word >> 8) & 0xF;
}

// A channel's calibration: two converter counts and the engineering values they stand for.
struct Calibration {
    int loCount = 409;
    double loRange = 0.0;
    int hiCount = 3685;
    double hiRange = 0.0;
};

// The controller's answer to one command line.
struct Response {
    enum class Kind {
        Reply,   // send `bytes` (possibly empty when replies are cut to 0 bytes)
        Ignored, // a recognised command left unanswered by a fault option
        Unknown  // not a command the controller knows; never answered
    };
    Kind kind = Kind::Unknown;
    QByteArray bytes;
    // The fault options apply to this command: its kind is one they are confined to.
    bool faulted = false;
    // The device goes away once this reply, cut short, has been sent.
    bool lastBeforeHangup = false;

    bool hasReply() const { return kind == Kind::Reply; }
};

class Controller {
  public:
    // Factory state.
    static QByteArray defaultIdentity();
    static quint16 defaultSetupWord(int slot);
    static double defaultVoltage(int slot);
    // Calibration a channel has until the first calibration write: counts 409 and 3685
    // (0.5 V and 4.5 V) over the range the sensor type and unit stand for.
    static Calibration defaultCalibration(quint16 setupWord);
    // Unit text of a live reading; temperatures carry the degree byte 0xDF. Empty for unit
    // codes the controller does not know.
    static QByteArray unitText(int unitCode);
    // Converter count of a sensor voltage: floor(V / 5 * 4095), held within 0..4095.
    static int countOfVoltage(double volts);
    // The 11 bytes of a live reading of `value` in the given unit (layout in controller.cpp).
    static QByteArray formatReading(double value, int unitCode);

    Controller();

    void setIdentity(const QByteArray& text) { identity_ = text; }
    const QByteArray& identity() const { return identity_; }

    // Changing a setup word puts the channel back to its default calibration.
    void setSetupWord(int slot, quint16 word);
    quint16 setupWord(int slot) const;
    // Word held at a table address; 0 for addresses without a setup word.
    quint16 tableWord(int address) const;

    void setVoltage(int slot, double volts);
    // The range values the channel's calibration holds at the default counts (409 and 3685),
    // as a calibration written before would leave them; a later setup word or calibration
    // command replaces it.
    void setRange(int slot, double loRange, double hiRange);
    double voltage(int slot) const;

    Calibration calibration(int slot) const;
    // True between "T ON" and "T OFF".
    bool writeEnabled() const { return writeEnabled_; }

    // Engineering value the channel reads now, and its 11-byte live reading.
    double engineeringValue(int slot) const;
    QByteArray liveReading(int slot) const;

    // Faults that change what is answered. Silence, cut replies, garbage and the hang-up in
    // the middle of a reply apply only to commands of these kinds; to every kind by default.
    void setFaultKinds(CommandKinds kinds) { faultKinds_ = kinds; }
    CommandKinds faultKinds() const { return faultKinds_; }
    void setSilent(bool silent) { silent_ = silent; }
    // The first recognised command with this body is not answered (and has no effect).
    void addIgnoreFirst(const QByteArray& body) { ignoreFirst_.insert(body); }
    // Send only the first n bytes of each reply; a negative n sends whole replies.
    void setPartialLength(int n) { partialLength_ = n; }
    // Replace each reply by pseudo-random bytes of the same length, from a fixed seed.
    void setGarbage(bool on, quint32 seed = 8400);
    // The first reply to a faulted command is cut to its first n bytes and marked as the
    // last before the device goes away; a negative n never cuts.
    void setHangupInReply(int n) { hangupInReply_ = n; }

    // Handles one command line without its line end (a trailing CR is tolerated).
    Response handle(QByteArrayView line);

  private:
    QByteArray calibrate(QByteArrayView fields);
    QByteArray garble(qsizetype length);

    QByteArray identity_;
    std::array<quint16, kChannelCount> setupWords_{};
    std::array<double, kChannelCount> voltages_{};
    std::array<std::optional<Calibration>, kChannelCount> calibrations_{};
    bool writeEnabled_ = false;

    CommandKinds faultKinds_ = CommandKinds::all();
    bool silent_ = false;
    QSet<QByteArray> ignoreFirst_;
    int partialLength_ = -1;
    bool garbage_ = false;
    quint32 garbageState_ = 8400;
    int hangupInReply_ = -1;
};

} // namespace sim
