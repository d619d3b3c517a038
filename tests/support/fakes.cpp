#include "fakes.h"

#include "platform/serial/pdq.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <memory>

#include <algorithm>

namespace testsupport {

void FakeWaits::yield() {
    ++yields;
    events << QStringLiteral("yield");
    if (onYield)
        onYield();
    if (runEventLoop)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void FakeWaits::sleep(int milliseconds) {
    sleeps.push_back(milliseconds);
    events << QStringLiteral("sleep %1").arg(milliseconds);
    now += std::max(0, milliseconds);
    if (runEventLoop)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool FakePort::setSettings(const QString& text) {
    settings = text;
    return true;
}

bool FakePort::setReceiveBufferSize(int) {
    return !failBufferSizes;
}

bool FakePort::setTransmitBufferSize(int) {
    return !failBufferSizes;
}

bool FakePort::setPortNumber(int number) {
    portNumber = number;
    if (std::find(goodPorts.begin(), goodPorts.end(), number) == goodPorts.end()) {
        error = QStringLiteral("No such file or directory");
        return false;
    }
    return true;
}

bool FakePort::setPortOpen(bool wanted) {
    if (wanted && std::find(goodPorts.begin(), goodPorts.end(), portNumber) == goodPorts.end()) {
        error = QStringLiteral("No such file or directory");
        return false;
    }
    open = wanted;
    return true;
}

void FakePort::deliverDue() {
    while (!m_pending.empty() && m_pending.front().first <= m_clock.now) {
        received += m_pending.front().second;
        m_pending.pop_front();
    }
}

bool FakePort::receiveCount(int& count) {
    if (!open)
        return false;
    deliverDue();
    count = int(received.size());
    return true;
}

bool FakePort::discardReceive() {
    if (!open)
        return false;
    deliverDue();
    received.clear();
    return true;
}

bool FakePort::transmitCount(int& count) {
    if (!open)
        return false;
    ++transmitPolls;
    ++m_pollsSinceOutput;
    const bool draining =
        unsentPollsBeforeEmpty < 0 || m_pollsSinceOutput <= unsentPollsBeforeEmpty;
    count = draining ? unsentAfterOutput : 0;
    return true;
}

bool FakePort::discardTransmit() {
    return open;
}

bool FakePort::reopenLostDevice() {
    ++reopenAttempts;
    if (!lost || !deviceBack)
        return false;
    lost = false;
    open = true;
    return true;
}

bool FakePort::output(const QByteArray& bytes) {
    if (!open || failOutput)
        return false;
    const int index = int(sent.size());
    sent.push_back(bytes);
    sentAt.push_back(m_clock.now);
    m_pollsSinceOutput = 0;
    if (responder) {
        std::vector<Delivery> deliveries = responder(bytes, index);
        for (const Delivery& d : deliveries)
            m_pending.emplace_back(m_clock.now + d.afterMs, d.bytes);
        std::stable_sort(m_pending.begin(), m_pending.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    return true;
}

bool FakePort::input(QByteArray& bytes) {
    if (!open)
        return false;
    deliverDue();
    bytes = received;
    received.clear();
    return true;
}

bool FakePort::setReadLength(int length) {
    return length >= 0;
}

FakeLink::FakeLink() {
    platform::setWaits(&waits);
    auto fake = std::make_unique<FakePort>(waits);
    port = fake.get();
    port->open = true;
    platform::PDQ().replaceComm1(std::move(fake));
}

FakeLink::~FakeLink() {
    platform::PDQ().replaceComm1(nullptr);
    platform::setWaits(nullptr);
}

BoxAnswerer::BoxAnswerer() : m_previous(platform::messageBoxHandler()) {
    platform::setMessageBoxHandler([this](int style, const QString& title, const QString& text) {
        ShownBox box{style, title, text};
        shown.push_back(box);
        if (onShow)
            onShow(box);
        if (!answers.empty()) {
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        }
        if (style == platform::vbRetryCancel)
            return int(platform::vbCancel);
        return style == platform::vbYesNo ? int(platform::vbYes) : int(platform::vbOK);
    });
}

BoxAnswerer::~BoxAnswerer() {
    platform::setMessageBoxHandler(m_previous);
}

} // namespace testsupport
