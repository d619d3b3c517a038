#include "sim/framing.h"

namespace sim {

QList<LineAssembler::Line> LineAssembler::feed(QByteArrayView bytes) {
    QList<Line> lines;
    for (char c : bytes) {
        if (dropping_) {
            if (c == '\n')
                dropping_ = false;
            continue;
        }
        if (c == '\n') {
            if (buffer_.endsWith('\r'))
                buffer_.chop(1);
            lines.append({buffer_, false});
            buffer_.clear();
            continue;
        }
        buffer_.append(c);
        if (buffer_.size() >= limit_) {
            lines.append({buffer_, true});
            buffer_.clear();
            dropping_ = true;
        }
    }
    return lines;
}

} // namespace sim
