#include "platform/serial/receive_buffer.h"

#include "platform/system/logging.h"

namespace platform {

bool ReceiveBuffer::setCapacity(int capacity) {
    if (capacity <= 0)
        return false;
    m_capacity = capacity;
    return true;
}

void ReceiveBuffer::keep(const char* bytes, qsizetype length) {
    const qsizetype room = qMax<qsizetype>(0, m_capacity - m_bytes.size());
    m_bytes.append(bytes, qMin(room, length));
    if (length > room) {
        const bool firstOverflow = m_overflowed == 0;
        m_overflowed += length - room;
        if (firstOverflow)
            qCInfo(lcLink) << "receive buffer full at" << m_capacity
                           << "characters; what arrives now is discarded";
    }
}

QByteArray ReceiveBuffer::take(int readLength) {
    QByteArray taken;
    if (readLength > 0 && readLength < m_bytes.size()) {
        taken = m_bytes.left(readLength);
        m_bytes.remove(0, readLength);
    } else {
        taken.swap(m_bytes);
    }
    reportOverflow();
    return taken;
}

void ReceiveBuffer::clear() {
    m_bytes.clear();
    reportOverflow();
}

int ReceiveBuffer::waiting(qint64 stillHeld) const {
    return int(
        qBound<qint64>(0, qint64(m_bytes.size()) + qMax<qint64>(0, stillHeld), qint64(m_capacity)));
}

void ReceiveBuffer::reportOverflow() {
    if (m_overflowed == 0)
        return;
    qCInfo(lcLink) << m_overflowed << "characters discarded: the receive buffer holds"
                   << m_capacity;
    m_overflowed = 0;
}

} // namespace platform
