#include "link/serial_port.h"

#include "platform/serial/pdq.h"
#include "platform/system/logging.h"
#include "platform/system/program_end.h"
#include "platform/system/waits.h"

namespace devicelink {

namespace {

QString lastOpenError;

// The drain ends when nothing is left to send, when the count cannot be read (a port that
// never opened) or after two seconds, so a stuck port can never keep the program from
// ending.
constexpr qint64 kDrainLimitMs = 2000;

void drainTransmitBuffer() {
    auto& comm = platform::PDQ().Comm1();
    auto& w = platform::waits();
    const qint64 started = w.nowMs();
    for (;;) {
        w.yield();
        int unsent = 0;
        if (!comm.transmitCount(unsent) || unsent == 0)
            return;
        if (w.nowMs() - started >= kDrainLimitMs) {
            qCWarning(lcLink) << "transmit buffer not drained after" << kDrainLimitMs << "ms;"
                              << unsent << "bytes dropped";
            return;
        }
        w.sleep(1);
    }
}

} // namespace

bool OpenPort(int portNumber) {
    auto& comm = platform::PDQ().Comm1();
    // Failures of the line settings and buffer sizes are never reported.
    comm.setSettings(QStringLiteral("9600,N,8,1"));
    comm.setReceiveBufferSize(4096);
    comm.setTransmitBufferSize(4096);

    // A failing port number does not stop the open; the last failure is the one reported.
    bool failed = false;
    if (!comm.setPortNumber(portNumber)) {
        failed = true;
        lastOpenError = comm.lastError();
    }
    if (!comm.setPortOpen(true)) {
        failed = true;
        lastOpenError = comm.lastError();
    }
    if (failed) {
        qCInfo(lcLink) << "port" << portNumber << "did not open:" << lastOpenError;
        return false;
    }
    lastOpenError.clear();
    qCDebug(lcLink) << "port" << portNumber << "opened";
    return true;
}

QString OpenPortError() {
    return lastOpenError;
}

void ClosePort() {
    drainTransmitBuffer();
    auto& comm = platform::PDQ().Comm1();
    if (comm.portOpen())
        comm.setPortOpen(false);
}

void ShutDown() {
    drainTransmitBuffer();
    if (platform::PDQ().Comm1().portOpen())
        ClosePort();
    platform::endProgramNow(0);
}

} // namespace devicelink
