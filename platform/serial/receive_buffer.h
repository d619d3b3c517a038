// The receive buffer of a serial control: what has arrived and not yet been read, at most the
// buffer's size. What arrives while it is full is thrown away, as a serial control's buffer
// overflows, and traced.
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace platform {

class ReceiveBuffer {
  public:
    bool setCapacity(int capacity);
    int capacity() const { return m_capacity; }
    qsizetype size() const { return m_bytes.size(); }

    // Keeps what fits of `bytes`; the rest is counted as lost.
    void keep(const char* bytes, qsizetype length);
    void keep(const QByteArray& bytes) { keep(bytes.constData(), bytes.size()); }
    // The characters Input hands over: `readLength` of them (0: all).
    QByteArray take(int readLength);
    // Empties the buffer.
    void clear();
    // The characters waiting, counting `stillHeld` more held by the system, up to the
    // buffer's size.
    int waiting(qint64 stillHeld) const;

  private:
    // Traces how much a full buffer threw away, once the buffer is read or cleared.
    void reportOverflow();

    QByteArray m_bytes;
    int m_capacity = 4096;
    qint64 m_overflowed = 0;
};

} // namespace platform
