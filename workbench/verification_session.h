// What one workbench session remembers of the tests of its channels: when each channel was
// last adjusted (an Accept), and the characteristic its tests are judged against, frozen at
// its as-found test so that an as-left test after a trim Accept is judged against the same
// characteristic, and not against the trimmed setpoints.
#pragma once

#include <QDateTime>
#include <QString>

#include <map>
#include <optional>

namespace workbench {

// The channel's characteristic as the four setpoint fields held it.
struct FrozenCharacteristic {
    QString loVolts;
    QString hiVolts;
    QString rangeLo;
    QString rangeHi;
    QDateTime frozenAt;
};

class VerificationSession {
  public:
    // An Accept of `channel` wrote its setpoints at `at`.
    void noteAccept(const QString& channel, const QDateTime& at) {
        channels_[channel].accepted = at;
    }
    // The time of the channel's latest Accept in this session; nothing before one.
    std::optional<QDateTime> latestAccept(const QString& channel) const;

    std::optional<FrozenCharacteristic> frozen(const QString& channel) const;
    void freeze(const QString& channel, const FrozenCharacteristic& characteristic) {
        channels_[channel].frozen = characteristic;
    }
    // Forgets the frozen characteristic: the next test takes the fields again.
    void thaw(const QString& channel) { channels_[channel].frozen.reset(); }

  private:
    struct Channel {
        std::optional<QDateTime> accepted;
        std::optional<FrozenCharacteristic> frozen;
    };
    std::map<QString, Channel> channels_;
};

inline std::optional<QDateTime> VerificationSession::latestAccept(const QString& channel) const {
    const auto found = channels_.find(channel);
    return found == channels_.end() ? std::nullopt : found->second.accepted;
}

inline std::optional<FrozenCharacteristic>
VerificationSession::frozen(const QString& channel) const {
    const auto found = channels_.find(channel);
    return found == channels_.end() ? std::nullopt : found->second.frozen;
}

} // namespace workbench
