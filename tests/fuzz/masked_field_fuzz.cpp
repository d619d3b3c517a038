// The masked entry fields of the setpoints, typed into, edited and pasted into as an operator
// could, then left so that their checks run: the low and high voltage fields under "#.###",
// the low and high range fields under a range mask with and without the sign position.
//
// Property: after every key, paste, text or selection change both fields read back a text
// that fits their mask (as long as the mask, a digit or a prompt at each "#", the literal at
// each literal, one character at the sign position); and leaving them gives values within the
// limits: the low voltage 0 to 4.9 V, the high voltage 0.1 to 5 V and not below the low one,
// the low range value from the lower limit to one below the upper limit, the high range value
// within both limits; and each field takes the text of the value it is given back.
#include "fuzz_check.h"

#include "codec/leading_value.h"
#include "codec/number_text.h"
#include "codec/range_table.h"
#include "codec/setpoint_rules.h"
#include "platform/widgets/masked_edit.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <QWidget>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using platform::MaskEdBox;

const QString kVoltageMask = QStringLiteral("#.###");

// The two fields of a pair in a shown window, the low one first in the tab order.
struct Window {
    QWidget window;
    MaskEdBox low;
    MaskEdBox high;
};
Window* window = nullptr;

// The distinct rows of the range table.
std::vector<codec::RangeFormat> rangeRows() {
    std::vector<codec::RangeFormat> rows;
    for (int type = 0; type <= 9; ++type) {
        for (int unit = 0; unit <= 9; ++unit) {
            const auto row =
                codec::RangeFormatFor(16, QString::number(type) + QString::number(unit));
            bool known = false;
            for (const auto& seen : rows) {
                known = known || (seen.mask == row->mask && seen.rangeMin == row->rangeMin &&
                                  seen.rangeMax == row->rangeMax);
            }
            if (!known)
                rows.push_back(*row);
        }
    }
    return rows;
}

// Whether the text stands in the mask position by position.
bool fitsMask(const QString& text, const QString& mask) {
    if (text.size() != mask.size())
        return false;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar m = mask[i];
        const QChar c = text[i];
        if (m == QLatin1Char('#')) {
            if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')) && c != MaskEdBox::PromptChar())
                return false;
        } else if (m != QLatin1Char('&') && c != m) {
            return false;
        }
    }
    return true;
}

void checkFits(const MaskEdBox& field, const char* step) {
    FUZZ_CHECK_SHOW(
        fitsMask(field.Text(), field.Mask()),
        QStringLiteral("after %1: %2 under mask %3")
            .arg(QLatin1String(step), fuzz::shown(field.Text()), fuzz::shown(field.Mask())));
}

void sendKey(MaskEdBox& field, int key, Qt::KeyboardModifiers modifiers,
             const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(&field, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(&field, &release);
}

// Characters worth typing: digits, signs, the point, prompts and blanks, letters, mask
// characters, digits of other scripts, a line separator and the degree sign.
constexpr std::array<char16_t, 28> kTypedCharacters = {
    u'0', u'1',  u'2',   u'3',   u'4',   u'5',   u'6',   u'7',  u'8', u'9',
    u'+', u'-',  u'.',   u'_',   u' ',   u',',   u'a',   u'Z',  u'&', u'#',
    u'%', u'\t', 0x00B2, 0x0663, 0xFF11, 0x2028, 0x00B0, 0x00A0};

// A short text made of the characters above or of any UTF-16 code units.
QString someText(FuzzedDataProvider& input) {
    QString text;
    const int length = input.ConsumeIntegralInRange(0, 8);
    const bool anyUnits = input.ConsumeIntegralInRange(0, 3) == 0;
    for (int i = 0; i < length; ++i) {
        if (anyUnits)
            text += QChar(input.ConsumeIntegral<char16_t>());
        else
            text += QChar(kTypedCharacters[input.ConsumeIntegralInRange<std::size_t>(
                0, kTypedCharacters.size() - 1)]);
    }
    return text;
}

void typeCharacter(MaskEdBox& field, QChar c) {
    const char16_t u = c.unicode();
    const bool keyed = (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z');
    const int key = keyed ? int(u) : (u >= u'a' && u <= u'z') ? int(u - 32) : int(Qt::Key_unknown);
    sendKey(field, key, Qt::NoModifier, QString(c));
}

struct KeyStroke {
    int key;
    Qt::KeyboardModifiers modifiers;
};

// Moving, selecting, deleting, and the editing shortcuts (select all, copy, cut, paste, undo,
// redo, delete a word).
constexpr std::array<KeyStroke, 24> kKeyStrokes = {{
    {Qt::Key_Left, Qt::NoModifier},
    {Qt::Key_Right, Qt::NoModifier},
    {Qt::Key_Home, Qt::NoModifier},
    {Qt::Key_End, Qt::NoModifier},
    {Qt::Key_Left, Qt::ShiftModifier},
    {Qt::Key_Right, Qt::ShiftModifier},
    {Qt::Key_Home, Qt::ShiftModifier},
    {Qt::Key_End, Qt::ShiftModifier},
    {Qt::Key_Backspace, Qt::NoModifier},
    {Qt::Key_Delete, Qt::NoModifier},
    {Qt::Key_A, Qt::ControlModifier},
    {Qt::Key_C, Qt::ControlModifier},
    {Qt::Key_X, Qt::ControlModifier},
    {Qt::Key_V, Qt::ControlModifier},
    {Qt::Key_Z, Qt::ControlModifier},
    {Qt::Key_Y, Qt::ControlModifier},
    {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier},
    {Qt::Key_Backspace, Qt::ControlModifier},
    {Qt::Key_Delete, Qt::ControlModifier},
    {Qt::Key_Left, Qt::ControlModifier},
    {Qt::Key_Right, Qt::ControlModifier},
    {Qt::Key_Insert, Qt::ShiftModifier},
    {Qt::Key_Delete, Qt::ShiftModifier},
    {Qt::Key_Insert, Qt::ControlModifier},
}};

// One operator action on one of the two fields.
void act(FuzzedDataProvider& input, MaskEdBox& field, const std::vector<QString>& masks) {
    switch (input.ConsumeIntegralInRange(0, 11)) {
    case 0:
    case 1:
    case 2:
        typeCharacter(field, QChar(kTypedCharacters[input.ConsumeIntegralInRange<std::size_t>(
                                 0, kTypedCharacters.size() - 1)]));
        checkFits(field, "typing");
        break;
    case 3:
        typeCharacter(field, QChar(input.ConsumeIntegral<char16_t>()));
        checkFits(field, "typing any character");
        break;
    case 4:
    case 5: {
        const KeyStroke& stroke =
            kKeyStrokes[input.ConsumeIntegralInRange<std::size_t>(0, kKeyStrokes.size() - 1)];
        sendKey(field, stroke.key, stroke.modifiers);
        checkFits(field, "a key stroke");
        break;
    }
    case 6:
        QGuiApplication::clipboard()->setText(someText(input));
        field.paste();
        checkFits(field, "pasting");
        break;
    case 7:
        field.insert(someText(input));
        checkFits(field, "inserting");
        break;
    case 8:
        field.setText(someText(input));
        checkFits(field, "setting a text");
        break;
    case 9:
        if (input.ConsumeBool())
            field.setSelStart(input.ConsumeIntegralInRange(-2, 10));
        else
            field.setSelLength(input.ConsumeIntegralInRange(-2, 10));
        checkFits(field, "selecting");
        break;
    case 10:
        if (input.ConsumeBool())
            field.undo();
        else
            field.redo();
        checkFits(field, "undo or redo");
        break;
    default:
        // Another channel's layout arrives, or the operator tabs into the field.
        if (input.ConsumeBool()) {
            field.setMask(masks[input.ConsumeIntegralInRange<std::size_t>(0, masks.size() - 1)]);
            checkFits(field, "a new mask");
        } else {
            field.setFocus(Qt::TabFocusReason);
            checkFits(field, "focus");
        }
        break;
    }
}

// The fields left as the workbench leaves the voltage fields.
void leaveVoltageFields() {
    MaskEdBox& low = window->low;
    MaskEdBox& high = window->high;
    const QString lowTyped = low.Text();
    const codec::VoltageCorrection lowCheck = codec::CorrectLowVoltage(lowTyped);
    const double lowVolts = codec::LeadingValue(lowCheck.finalText);
    const auto lowDetail = [&] {
        return QString(fuzz::shown(lowTyped) + QLatin1String(" -> ") +
                       fuzz::shown(lowCheck.finalText));
    };
    FUZZ_CHECK_SHOW(lowVolts >= 0.0 && lowVolts <= 4.9, lowDetail());
    FUZZ_CHECK_SHOW(fitsMask(lowCheck.finalText, kVoltageMask), lowDetail());
    low.setMask(kVoltageMask);
    FUZZ_CHECK_SHOW(low.setText(lowCheck.finalText), lowDetail());

    const QString highTyped = high.Text();
    const codec::VoltageCorrection highCheck = codec::CorrectHighVoltage(highTyped, low.Text());
    const double highVolts = codec::LeadingValue(highCheck.finalText);
    const auto highDetail = [&] {
        return QString(fuzz::shown(highTyped) + QLatin1String(" over low ") +
                       fuzz::shown(low.Text()) + QLatin1String(" -> ") +
                       fuzz::shown(highCheck.finalText));
    };
    FUZZ_CHECK_SHOW(highVolts >= 0.1 && highVolts <= 5.0, highDetail());
    FUZZ_CHECK_SHOW(highVolts >= lowVolts, highDetail());
    FUZZ_CHECK_SHOW(fitsMask(highCheck.finalText, kVoltageMask), highDetail());
    high.setMask(kVoltageMask);
    FUZZ_CHECK_SHOW(high.setText(highCheck.finalText), highDetail());
}

// A range value given back to its field as the workbench does: the signed fixed text in the
// row's layout, the sign position in front of the mask.
template <typename Detail>
void storeRangeValue(MaskEdBox& field, const codec::RangeFormat& row, float value,
                     const Detail& detail) {
    const codec::FittedRangeText fitted =
        codec::FitToRangeFormat(row, codec::NumberToFixedText(value, 6));
    field.setMask(fitted.mask);
    FUZZ_CHECK_SHOW(field.setText(fitted.text),
                    detail() + QLatin1String(" shown as ") + fuzz::shown(fitted.text));
}

// The fields left as the workbench leaves the range fields.
void leaveRangeFields(const codec::RangeFormat& row) {
    MaskEdBox& low = window->low;
    MaskEdBox& high = window->high;
    const float lowest = codec::RoundToSingle(row.rangeMin);
    const QString limits = QStringLiteral(" (limits %1 to %2)").arg(row.rangeMin).arg(row.rangeMax);

    const QString lowTyped = low.Text();
    const codec::RangeCorrection lowCheck =
        codec::CorrectRangeLow(lowTyped, row.rangeMin, row.rangeMax);
    const auto lowDetail = [&] {
        return QString(QStringLiteral("low %1 kept as %2")
                           .arg(fuzz::shown(lowTyped))
                           .arg(double(lowCheck.value), 0, 'g', 9) +
                       limits);
    };
    FUZZ_CHECK_SHOW(lowCheck.value >= lowest, lowDetail());
    FUZZ_CHECK_SHOW(lowCheck.value <= codec::RoundToSingle(row.rangeMax - 1), lowDetail());
    storeRangeValue(low, row, lowCheck.value, lowDetail);

    const QString highTyped = high.Text();
    const codec::RangeCorrection highCheck =
        codec::CorrectRangeHigh(highTyped, low.Text(), row.rangeMin, row.rangeMax);
    const auto highDetail = [&] {
        return QString(QStringLiteral("high %1 over low %2 kept as %3")
                           .arg(fuzz::shown(highTyped), fuzz::shown(low.Text()))
                           .arg(double(highCheck.value), 0, 'g', 9) +
                       limits);
    };
    FUZZ_CHECK_SHOW(highCheck.value >= lowest, highDetail());
    FUZZ_CHECK_SHOW(highCheck.value <= codec::RoundToSingle(row.rangeMax), highDetail());
    storeRangeValue(high, row, highCheck.value, highDetail);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_masked_field";
    static char* argv[] = {name, nullptr};
    // Never destroyed: the program ends without taking the application down, which Qt cannot
    // do once its own objects are gone.
    new QApplication(argc, argv);
    window = new Window;
    auto* layout = new QVBoxLayout(&window->window);
    layout->addWidget(&window->low);
    layout->addWidget(&window->high);
    window->window.show();
    window->window.activateWindow();
    QApplication::processEvents();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<codec::RangeFormat> rows = rangeRows();
    FuzzedDataProvider input(data, size);

    // Which pair: the voltage fields, or the range fields of one row of the range table with
    // the sign position in front of the mask (as the workbench shows them) or without it.
    const std::size_t pair = input.ConsumeIntegralInRange<std::size_t>(0, rows.size());
    const bool voltages = pair == rows.size();
    const bool signPosition = input.ConsumeBool();
    QString mask = kVoltageMask;
    if (!voltages)
        mask = (signPosition ? QStringLiteral("&") : QString()) + rows[pair].mask;
    std::vector<QString> masks = {kVoltageMask};
    for (const auto& row : rows) {
        masks.push_back(row.mask);
        masks.push_back(QLatin1Char('&') + row.mask);
    }

    window->low.setMask(mask);
    window->high.setMask(mask);
    checkFits(window->low, "the first mask");
    const int actions = input.ConsumeIntegralInRange(0, 48);
    for (int i = 0; i < actions && input.remaining_bytes() > 0; ++i)
        act(input, input.ConsumeBool() ? window->low : window->high, masks);

    // Leaving the fields checks them against the pair's limits; a field whose layout was
    // changed meanwhile is read as it stands.
    if (voltages)
        leaveVoltageFields();
    else
        leaveRangeFields(rows[pair]);
    return 0;
}
