// "tq8400-cal --verify-log LOG --chain HEX --lines N": whether the log still holds, unchanged,
// the lines a filed certificate was made from, told by the chain value and the number of lines
// the certificate states; without a window.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace app {

// Exit statuses of the log check.
inline constexpr int kLogIntact = 0;
inline constexpr int kLogUnreadable = 1;
inline constexpr int kLogBadArguments = 2;
inline constexpr int kLogCutShort = 3;
inline constexpr int kLogChainBroken = 4;
inline constexpr int kLogOtherChain = 5;

// What the command line asks for.
struct VerifyLogArguments {
    QString logPath;
    QByteArray chain; // 64 hexadecimal digits, in lower case
    int lines = 0;
    QString error; // what is wrong with the arguments
};

// Reads the arguments after the program's name.
VerifyLogArguments verifyLogArguments(const QStringList& arguments);

// Checks the log (the application object made); the exit status. Intact is told on standard
// output, everything else on standard error.
int runVerifyLogCommand(const VerifyLogArguments& arguments);

} // namespace app
