// How every fuzz target states its property: a property that does not hold prints what failed
// and stops the program, so that libFuzzer keeps the input that broke it.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

[[noreturn]] inline void fail(const char* what, const char* file, int line,
                              const QString& detail = QString()) {
    std::fprintf(stderr, "\nProperty broken at %s:%d: %s\n", file, line, what);
    if (!detail.isEmpty())
        std::fprintf(stderr, "  %s\n", detail.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

// A text shown with its non-printable characters escaped, for the failure report.
inline QString shown(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F && c != QLatin1Char('\\'))
            out += c;
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return out + QLatin1Char('"');
}

inline QString shown(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toPercentEncoding(" +-.,:>()_#&*%"));
}

} // namespace fuzz

// Stops the program when `condition` does not hold.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::fuzz::fail(#condition, __FILE__, __LINE__);                                          \
    } while (false)

// The same, with a text that shows the values involved.
#define FUZZ_CHECK_SHOW(condition, detail)                                                         \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::fuzz::fail(#condition, __FILE__, __LINE__, (detail));                                \
    } while (false)
