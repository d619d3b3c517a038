#include "records/pdf_info.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace records {

namespace {

bool isWhite(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

bool isDelimiter(char c) {
    return isWhite(c) || QByteArrayView("()<>[]{}/%").contains(c);
}

// Reads the literal string whose "(" is at `at`; `at` is left after its ")". None when it
// does not end.
std::optional<QByteArray> literalString(const QByteArray& pdf, qsizetype& at) {
    QByteArray text;
    int depth = 0;
    for (++at; at < pdf.size(); ++at) {
        const char c = pdf[at];
        if (c == ')' && depth == 0) {
            ++at;
            return text;
        }
        if (c == '(')
            ++depth;
        else if (c == ')')
            --depth;
        if (c == '\\' && at + 1 < pdf.size()) {
            const char next = pdf[++at];
            static const QByteArray kEscaped = "nrtbf()\\";
            static const QByteArray kMeant = "\n\r\t\b\f()\\";
            if (kEscaped.contains(next)) {
                text += kMeant[kEscaped.indexOf(next)];
            } else if (next >= '0' && next <= '7') {
                int code = 0;
                for (int digits = 0;
                     digits < 3 && at < pdf.size() && pdf[at] >= '0' && pdf[at] <= '7';
                     ++digits, ++at)
                    code = code * 8 + (pdf[at] - '0');
                --at;
                text += char(code & 0xff);
            } else if (next == '\r') {
                // A line end after a backslash continues the string on the next line.
                if (at + 1 < pdf.size() && pdf[at + 1] == '\n')
                    ++at;
            } else if (next != '\n') {
                text += next;
            }
            continue;
        }
        text += c;
    }
    return std::nullopt;
}

// Reads the hexadecimal string whose "<" is at `at`; `at` is left after its ">".
std::optional<QByteArray> hexString(const QByteArray& pdf, qsizetype& at) {
    const qsizetype end = pdf.indexOf('>', at);
    if (end < 0)
        return std::nullopt;
    QByteArray digits;
    for (qsizetype i = at + 1; i < end; ++i)
        if (!isWhite(pdf[i]))
            digits += pdf[i];
    at = end + 1;
    // A missing last digit counts as 0.
    if (digits.size() % 2 != 0)
        digits += '0';
    const QByteArray bytes = QByteArray::fromHex(digits);
    if (bytes.size() * 2 != digits.size())
        return std::nullopt;
    return bytes;
}

QString textString(const QByteArray& bytes) {
    if (bytes.startsWith("\xfe\xff"))
        return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes.mid(2));
    if (bytes.startsWith("\xef\xbb\xbf"))
        return QString::fromUtf8(bytes.mid(3));
    return QString::fromLatin1(bytes);
}

// Where the last definition of the object `number` `generation` begins its value; -1 when
// there is none.
qsizetype objectValue(const QByteArray& pdf, const QString& number, const QString& generation) {
    const QRegularExpression header(
        QStringLiteral("(?:^|[\\s])%1\\s+%2\\s+obj").arg(number, generation));
    const QString text = QString::fromLatin1(pdf);
    qsizetype found = -1;
    for (auto match = header.globalMatch(text); match.hasNext();)
        found = match.next().capturedEnd();
    return found;
}

// The /Creator string of the dictionary that begins at `at`.
std::optional<QString> creatorIn(const QByteArray& pdf, qsizetype at) {
    while (at < pdf.size() && isWhite(pdf[at]))
        ++at;
    if (pdf.mid(at, 2) != "<<")
        return std::nullopt;
    at += 2;
    // The last key read was /Creator and its value comes next.
    bool creatorNext = false;
    while (at < pdf.size()) {
        const char c = pdf[at];
        const QByteArray two = pdf.mid(at, 2);
        if (isWhite(c)) {
            ++at;
        } else if (two == ">>" || two == "<<") {
            // The end, or a dictionary inside, which the document information never holds.
            return std::nullopt;
        } else if (c == '/') {
            qsizetype end = at + 1;
            while (end < pdf.size() && !isDelimiter(pdf[end]))
                ++end;
            creatorNext = !creatorNext && pdf.mid(at + 1, end - at - 1) == "Creator";
            at = end;
        } else if (c == '(' || c == '<') {
            const std::optional<QByteArray> value =
                c == '(' ? literalString(pdf, at) : hexString(pdf, at);
            if (!value)
                return std::nullopt;
            if (creatorNext)
                return textString(*value);
        } else {
            // A number, a reference or another value: passed over.
            qsizetype end = at;
            while (end < pdf.size() && !isDelimiter(pdf[end]))
                ++end;
            at = qMax(end, at + 1);
            creatorNext = false;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> pdfCreator(const QByteArray& pdf) {
    if (!pdf.startsWith("%PDF-"))
        return std::nullopt;
    const qsizetype trailer = pdf.lastIndexOf("trailer");
    if (trailer < 0)
        return std::nullopt;
    static const QRegularExpression infoReference(QStringLiteral("/Info\\s+(\\d+)\\s+(\\d+)\\s+R"));
    const QRegularExpressionMatch info = infoReference.match(QString::fromLatin1(pdf.mid(trailer)));
    if (!info.hasMatch())
        return std::nullopt;
    const qsizetype value = objectValue(pdf, info.captured(1), info.captured(2));
    if (value < 0)
        return std::nullopt;
    return creatorIn(pdf, value);
}

} // namespace records
