// The controller's line protocol as pure functions of bytes and numbers: the command lines the
// program sends and the decoding of the replies it reads. No shared state, no screens, no
// input or output, so each can be checked (and fuzzed) on its own.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace devicelink::protocol {

// Every command line is ">(" + body + ")" + CR LF.
QString CommandLine(const QString& body);

// ">(00F00 RX 22)": the 22-character identity block.
QString IdentityReadCommand();
// ">(00TRX nnn)": one line of the controller's setup table, the address in three digits.
QString TableReadCommand(int address);
// ">(0140A RX 11)" to ">(0174A RX 11)": the live reading of the channel in list position
// `slot` (0 for channel 30 to 13 for channel 45); none for any other slot.
std::optional<QString> LiveReadCommand(int slot);
// ">(00T ON)", the calibration command, ">(00T OFF)": the three commands of a calibration
// write. The calibration command carries the slot in two digits, then the low count, the low
// range text, the high count and the high range text, the range texts without outer blanks.
QString CalibrationOnCommand();
QString CalibrationCommand(int slot, const QString& lowCount, const QString& rangeLo,
                           const QString& highCount, const QString& rangeHi);
QString CalibrationOffCommand();

// The converter count of a voltage text: 4095 counts at 5 volts, the fraction dropped, four
// digits. Worked out on the thousandths the text shows, so that "1.000" gives exactly "0819"
// and "2.500" gives "2047"; a text without a number counts as 0 V.
QString ConverterCount(const QString& voltageText);

// The three fields of an identity block: characters 1-8, 9-14 and 15-22 (counted from 1),
// each byte one character, stripped of leading and trailing blanks only. Positions past the
// end of the reply give shorter or empty fields.
struct IdentityFields {
    QString displayMicroDate;
    QString displayMicroInfo;
    QString terminalMicroDate;
};
IdentityFields DecodeIdentityBlock(const QByteArray& reply);

// The 16-bit setup word a table-read reply carries: characters 6 to 8 hold the low byte and
// characters 10 to 12 the high byte, each read by the number rule as the controller reads it
// (" 18", "+18", "018", "18x", "1.0" and "-0" are whole numbers; blanks, letters and a field
// past the end of the reply read as 0). A field whose value is not a whole number from 0 to
// 255 ("1.5", "-01", "256") would make another word of the reply: such a reply carries none.
std::optional<quint16> TableReplyWord(const QByteArray& reply);

// A live reading as the display shows it: NUL bytes become blanks, the controller's degree
// byte 0xDF becomes 0xF8, and every byte one character of code page 437 (0xF8 the degree
// sign). The text has as many characters as the reply has bytes.
QString LiveReadingText(const QByteArray& reply);

} // namespace devicelink::protocol
