#include "platform/widgets/masked_edit.h"

#include <QValidator>

#include <algorithm>

namespace platform {

namespace {

constexpr QChar kDigitPosition = u'#';
constexpr QChar kAnyPosition = u'&';

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool isEntryPosition(QChar maskChar) {
    return maskChar == kDigitPosition || maskChar == kAnyPosition;
}

// Whether the character may stand at a position of the given mask character.
bool fitsPosition(QChar maskChar, QChar c) {
    if (maskChar == kDigitPosition)
        return isAsciiDigit(c) || c == MaskEdBox::PromptChar();
    if (maskChar == kAnyPosition)
        return true; // whether the line edit can hold it is seen once it is shown
    return c == maskChar;
}

// The line edit's input mask for an entry mask: "#" becomes an optional digit, "&" an optional
// character of any kind, every literal is escaped so that it cannot be read as a mask letter,
// and the prompt character is the blank.
QString lineEditMask(const QString& mask) {
    QString result;
    for (const QChar c : mask) {
        if (c == kDigitPosition) {
            result += u'0';
        } else if (c == kAnyPosition) {
            result += u'x';
        } else {
            result += u'\\';
            result += c;
        }
    }
    result += u';';
    result += MaskEdBox::PromptChar();
    return result;
}

} // namespace

// The line edit's own digit positions take any Unicode digit (superscripts, Arabic-Indic);
// this keeps typed and pasted input to 0 to 9. The line edit validates its displayed text,
// one character per mask position, and undoes an edit that is refused.
class MaskEdBox::DigitPositions : public QValidator {
  public:
    explicit DigitPositions(QObject* parent) : QValidator(parent) {}

    void setMask(const QString& mask) { mask_ = mask; }

    State validate(QString& input, int& /*pos*/) const override {
        const qsizetype n = std::min(input.size(), mask_.size());
        for (qsizetype i = 0; i < n; ++i) {
            if (mask_[i] == kDigitPosition && !fitsPosition(kDigitPosition, input[i]))
                return Invalid;
        }
        return Acceptable;
    }

  private:
    QString mask_;
};

MaskEdBox::MaskEdBox(QWidget* parent)
    : QLineEdit(parent), digitPositions_(new DigitPositions(this)) {
    setValidator(digitPositions_);
}

void MaskEdBox::setMask(const QString& legacyMask) {
    mask_ = legacyMask;
    digitPositions_->setMask(legacyMask);
    QLineEdit::setInputMask(legacyMask.isEmpty() ? QString() : lineEditMask(legacyMask));
    // The line edit would carry the old characters over into the new layout, shifted to
    // wherever they fit; a new mask starts from an empty field instead, cursor at the start.
    QLineEdit::setText(QString());
    setSelStart(0);
}

bool MaskEdBox::setText(const QString& text) {
    if (mask_.isEmpty()) {
        QLineEdit::setText(text);
        return true;
    }
    if (text.size() > mask_.size())
        return false;

    // A text shorter than the mask fills the first positions; an empty text leaves only prompts.
    QString shown;
    shown.reserve(mask_.size());
    for (qsizetype i = 0; i < mask_.size(); ++i) {
        const QChar maskChar = mask_[i];
        if (i < text.size()) {
            if (!fitsPosition(maskChar, text[i]))
                return false;
            shown += text[i];
        } else {
            shown += isEntryPosition(maskChar) ? PromptChar() : maskChar;
        }
    }

    // The line edit moves a character that does not suit its position on to the next one that
    // it suits, and turns line separators into blanks. Whatever it would show differently from
    // the text is refused, and the field is put back as it was.
    const QString before = displayText();
    const int selStart = SelStart();
    const int selLength = SelLength();
    QLineEdit::setText(shown);
    if (displayText() == shown)
        return true;
    QLineEdit::setText(before);
    setSelStart(selStart);
    setSelLength(selLength);
    return false;
}

QString MaskEdBox::Text() const {
    // The displayed text keeps the blanks and literals in place; text() would drop the blanks.
    return mask_.isEmpty() ? text() : displayText();
}

int MaskEdBox::SelStart() const {
    return hasSelectedText() ? selectionStart() : cursorPosition();
}

void MaskEdBox::setSelStart(int start) {
    // setSelection() with no length places the cursor exactly; setCursorPosition() would step
    // over a literal position.
    const int end = static_cast<int>(displayText().size());
    QLineEdit::setSelection(std::clamp(start, 0, end), 0);
}

int MaskEdBox::SelLength() const {
    return selectionLength();
}

void MaskEdBox::setSelLength(int length) {
    const int start = SelStart();
    const int end = static_cast<int>(displayText().size());
    QLineEdit::setSelection(start, std::clamp(length, 0, end - start));
}

} // namespace platform
