// Fake clock, waits and serial port: timing logic tested fast and exactly.
#pragma once

#include "platform/serial/serial_control.h"
#include "platform/system/waits.h"
#include "platform/widgets/message_box.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace testsupport {

// Waits on a fake clock: a sleep advances the clock at once and every wait is recorded.
class FakeWaits final : public platform::Waits {
  public:
    void yield() override;
    void sleep(int milliseconds) override;
    qint64 nowMs() override { return now; }

    qint64 now = 0;
    int yields = 0;
    std::vector<int> sleeps;
    // "yield" and "sleep N" in the order they happened.
    QStringList events;
    // Called on every yield (lets a test act "while the program waits").
    std::function<void()> onYield;
    // The clock stays fake, but each yield and sleep also runs the event loop as the
    // program's own waits do: timers and queued events are delivered, and input that arrives
    // during a sleep waits for the next yield.
    bool runEventLoop = false;
};

// Bytes the fake controller puts on the line, `afterMs` after the command was sent.
struct Delivery {
    qint64 afterMs = 0;
    QByteArray bytes;
};

// A serial port on the fake clock. A responder decides, for each command sent, what comes
// back and when.
class FakePort final : public platform::SerialControl {
  public:
    explicit FakePort(FakeWaits& clock) : m_clock(clock) {}

    bool setSettings(const QString& settings) override;
    bool setReceiveBufferSize(int size) override;
    bool setTransmitBufferSize(int size) override;
    bool setPortNumber(int portNumber) override;
    bool setPortOpen(bool open) override;
    bool portOpen() const override { return open; }
    bool receiveCount(int& count) override;
    bool discardReceive() override;
    bool transmitCount(int& count) override;
    bool discardTransmit() override;
    bool output(const QByteArray& bytes) override;
    bool input(QByteArray& bytes) override;
    bool setReadLength(int length) override;
    QString lastError() const override { return error; }
    bool deviceLost() const override { return lost; }
    bool reopenLostDevice() override;

    // The device goes away: the port closes and stays lost until a reopen finds it back.
    void loseDevice() {
        open = false;
        lost = true;
    }

    // Answers each command: gets the bytes sent and how many commands came before.
    std::function<std::vector<Delivery>(const QByteArray& sent, int index)> responder;

    // State a test can set or read.
    bool open = false;
    QString error;
    QByteArray received;          // waiting in the receive buffer
    std::vector<QByteArray> sent; // every command, in order
    std::vector<qint64> sentAt;   // clock time of each command
    int transmitPolls = 0;
    int unsentAfterOutput = 0;      // transmit count reported after an output...
    int unsentPollsBeforeEmpty = 0; // ...for this many polls (-1: never drains)
    QString settings;
    int portNumber = 0;
    bool failBufferSizes = false;
    bool failOutput = false; // writes are refused although the port is open
    bool lost = false;       // the device went away under the open port
    bool deviceBack = false; // a reopen of the lost device succeeds
    int reopenAttempts = 0;
    std::vector<int> goodPorts = {1}; // numbers that open

  private:
    void deliverDue();

    FakeWaits& m_clock;
    std::deque<std::pair<qint64, QByteArray>> m_pending;
    int m_pollsSinceOutput = 0;
};

// The fake clock and a fake port in place of the program's own, for the life of the object.
// The port starts open.
class FakeLink {
  public:
    FakeLink();
    ~FakeLink();
    FakeLink(const FakeLink&) = delete;
    FakeLink& operator=(const FakeLink&) = delete;

    FakeWaits waits;
    FakePort* port = nullptr;
};

// One message box as the program showed it.
struct ShownBox {
    int style = 0;
    QString title;
    QString text;
};

// Answers message boxes instead of the operator and records each one; installed for the
// lifetime of the object.
class BoxAnswerer {
  public:
    BoxAnswerer();
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    std::vector<ShownBox> shown;
    // Answers in order; when they run out, OK / Yes is pressed, and Cancel on a Retry/Cancel
    // box (a retry with nothing changed would only ask again).
    std::deque<int> answers;
    // Called for each box before it is answered (lets a test look at the screen).
    std::function<void(const ShownBox&)> onShow;

  private:
    platform::MessageBoxHandler m_previous;
};

} // namespace testsupport
