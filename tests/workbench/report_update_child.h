// What the record-update program writes, known to the test that starts and kills it.
#pragma once

#include "records/report_file.h"

#include <QByteArray>
#include <QString>

namespace testsupport {

// How many updates the crash test asks for in all.
inline constexpr int kCrashTestUpdates = 1000;

// The record of update `n`: a low voltage no other update below 10000 writes, so that every
// state of the file tells how many updates it holds.
inline QByteArray crashTestRecord(int n) {
    return records::reportRecord(QString::asprintf("%d.%03d", n / 1000 % 10, n % 1000),
                                 QString::asprintf("%d.%03d", n * 7 / 1000 % 10, n * 7 % 1000),
                                 QString::asprintf("%+06.1f", (n % 500) - 250.0),
                                 QString::asprintf("%+06.1f", (n * 3 % 500) + 0.5));
}

} // namespace testsupport
