// Cutting the byte stream from the tool into command lines.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace sim {

class LineAssembler {
  public:
    // Longest line kept; a line that reaches it is handed on cut short and the rest of it, up
    // to the next line feed, is dropped.
    static constexpr qsizetype kDefaultLimit = 4096;

    struct Line {
        QByteArray text;       // without the LF and a CR just before it
        bool overlong = false; // cut at the limit; never a command
    };

    explicit LineAssembler(qsizetype limit = kDefaultLimit) : limit_(limit > 0 ? limit : 1) {}

    // Takes received bytes and returns the lines they complete, in order.
    QList<Line> feed(QByteArrayView bytes);
    // Bytes waiting for their line end.
    qsizetype pending() const { return buffer_.size(); }

  private:
    QByteArray buffer_;
    qsizetype limit_;
    bool dropping_ = false;
};

} // namespace sim
