// The masked entry field of the setpoint boxes: a line edit laid out by an entry mask,
// read and written through the mask, text and selection properties the workbench uses.
#pragma once

#include <QLineEdit>
#include <QString>

namespace platform {

// Legacy name: `MaskEdBox`, the old program's masked edit box control; Mask, Text, SelStart
// and SelLength keep its property names.
// A line edit laid out by an entry mask. In the mask "#" is a digit position (0 to 9), "&" a
// position for any character (the sign of a range value), and every other character a literal
// that stands in the text as it is, such as the decimal point. Positions that hold nothing read
// back as the prompt character "_". Callers set the mask first and the text after it. A text
// shorter than the mask fills the first positions and leaves prompts in the rest, so an empty
// text clears the field; a text that does not fit is refused rather than shifted into place.
//
// Tabbed into, the field places its cursor as a line edit does before the application reports
// the focus change (QApplication::focusChanged), so a handler of that signal that selects the
// text has the last word; the workbench prepares its setpoint fields so.
//
// setMask() and setText() deliberately hide QWidget::setMask() and QLineEdit::setText(); call
// them through a MaskEdBox, not through a base class pointer. A ";" or a "_" cannot stand as a
// literal in the mask (the first is the separator of the underlying input mask, the second the
// prompt character).
class MaskEdBox : public QLineEdit {
    Q_OBJECT

  public:
    // An empty field without a mask, which then behaves as a plain line edit.
    explicit MaskEdBox(QWidget* parent = nullptr);

    // The character shown in, and read back from, positions that hold nothing.
    static constexpr QChar PromptChar() { return QChar(u'_'); }

    // Lays the field out for the mask, clears it to prompts and puts the cursor at the start.
    void setMask(const QString& legacyMask);
    // The mask last set, as it was given.
    QString Mask() const { return mask_; }

    // Shows the text when it fits the mask position by position and returns true; otherwise
    // leaves content and selection as they were and returns false.
    bool setText(const QString& text);
    // The text position by position: literals in place, "_" where nothing has been entered.
    QString Text() const;

    // Start of the selection, or the cursor position when nothing is selected.
    int SelStart() const;
    // Collapses the selection and puts the cursor at the position (clamped to the text).
    void setSelStart(int start);
    // Number of selected characters.
    int SelLength() const;
    // Selects this many characters from SelStart() (clamped to the end of the text).
    void setSelLength(int length);

  private:
    class DigitPositions;

    QString mask_;
    DigitPositions* digitPositions_;
};

} // namespace platform
