// The masked entry field driven as the operator and the workbench drive it: masks of the range
// table and the voltage fields, texts set and read back, typing, selection and focus.
#include "platform/widgets/masked_edit.h"

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

using platform::MaskEdBox;

QT_BEGIN_NAMESPACE
// Failure messages show texts as text.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

// Two fields in a shown, active window; the first one has the focus.
class MaskedEditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(&box);
        layout->addWidget(&next);
        window.show();
        window.activateWindow();
        box.setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
        ASSERT_TRUE(box.hasFocus());
    }

    // Sets the mask and text and reports what the field reads back.
    QString roundTrip(const QString& mask, const QString& text) {
        box.setMask(mask);
        EXPECT_TRUE(box.setText(text)) << qPrintable(mask) << " " << qPrintable(text);
        return box.Text();
    }

    QWidget window;
    MaskEdBox box;
    MaskEdBox next;
};

TEST_F(MaskedEditTest, EmptyFieldShowsPromptsAndLiteralsForEveryMask) {
    const QList<std::pair<QString, QString>> cases = {
        {"#.###", "_.___"},   {"###.#", "___._"},   {"##.##", "__.__"},   {"####.", "____."},
        {"&#.###", "__.___"}, {"&###.#", "____._"}, {"&##.##", "___.__"}, {"&####.", "_____."},
    };
    for (const auto& [mask, prompts] : cases) {
        box.setMask(mask);
        EXPECT_EQ(box.Mask(), mask);
        EXPECT_EQ(box.Text(), prompts) << qPrintable(mask);
    }
    EXPECT_EQ(MaskEdBox::PromptChar(), QChar(u'_'));
}

TEST_F(MaskedEditTest, TextsOfTheRangeAndVoltageMasksReadBackUnchanged) {
    const QList<std::pair<QString, QString>> cases = {
        {"&###.#", "+050.0"},
        {"&###.#", "-012.5"},
        {"&#.###", "-0.862"},
        {"&#.###", "+4.309"},
        {"&##.##", "+04.30"},
        {"&####.", "+2500."},
        {"&####.", "-0025."},
        {"#.###", "0.500"},
        {"###.#", "430.9"},
        {"##.##", "25.86"},
        {"####.", "9999."},
        // Prompts and blanks in place: a partly filled field, a sign position left empty.
        {"#.###", "4.5__"},
        {"#.###", "_.5_1"},
        {"&###.#", "_050.0"},
        {"&###.#", " 050.0"},
    };
    for (const auto& [mask, text] : cases)
        EXPECT_EQ(roundTrip(mask, text), text) << qPrintable(mask);
}

TEST_F(MaskedEditTest, ShortAndEmptyTextsFillFromTheLeftWithPrompts) {
    EXPECT_EQ(roundTrip("#.###", "4.5"), "4.5__");
    EXPECT_EQ(roundTrip("&###.#", "-"), "-___._");
    EXPECT_EQ(roundTrip("&####.", "+2500"), "+2500.");
    box.setMask("#.###");
    ASSERT_TRUE(box.setText("1.234"));
    EXPECT_TRUE(box.setText(""));
    EXPECT_EQ(box.Text(), "_.___");
}

TEST_F(MaskedEditTest, TextThatDoesNotFitIsRefusedAndTheFieldKept) {
    // Each of these the line edit alone would have shifted or altered instead of refusing.
    const QList<std::pair<QString, QString>> cases = {
        {"#.###", "+050.0"},       // one character too many
        {"#.###", "1.2345"},       // one digit too many
        {"###.#", "12.34"},        // point at a digit position
        {"#.###", "45"},           // digit at the point
        {"&###.#", "-0.862"},      // the layout of another mask
        {"&####.", "+250.0"},      // the layout of another mask
        {"#.###", "a.123"},        // letter at a digit position
        {"#.###", "-.862"},        // sign at a digit position
        {"#.###", "\u00b2.123"},   // a digit that is not 0 to 9
        {"&###.#", "\t050.0"},     // a control character as the sign
        {"&###.#", "\u2028050.0"}, // a line separator, which the line edit turns into a blank
    };
    for (const auto& [mask, text] : cases) {
        box.setMask(mask);
        const QString kept = mask.startsWith(u'&') ? QString("+1") : QString("1");
        ASSERT_TRUE(box.setText(kept));
        box.setSelStart(0);
        box.setSelLength(1);
        const QString before = box.Text();
        EXPECT_FALSE(box.setText(text)) << qPrintable(mask) << " " << qPrintable(text);
        EXPECT_EQ(box.Text(), before) << qPrintable(text);
        EXPECT_EQ(box.SelStart(), 0);
        EXPECT_EQ(box.SelLength(), 1);
    }
}

TEST_F(MaskedEditTest, NewMaskClearsTheFieldInsteadOfReflowingIt) {
    box.setMask("&###.#");
    ASSERT_TRUE(box.setText("+050.0"));
    box.setMask("&#.###");
    EXPECT_EQ(box.Text(), "__.___");
    EXPECT_TRUE(box.setText("-0.862"));
    EXPECT_EQ(box.Text(), "-0.862");
    box.setMask("&#.###");
    EXPECT_EQ(box.Text(), "__.___");
}

TEST_F(MaskedEditTest, FieldWithoutMaskTakesAnyText) {
    box.setMask("#.###");
    box.setMask("");
    EXPECT_TRUE(box.setText("abc 12"));
    EXPECT_EQ(box.Text(), "abc 12");
}

TEST_F(MaskedEditTest, TypingFillsEntryPositionsAndStepsOverThePoint) {
    box.setMask("#.###");
    QTest::keyClicks(&box, "45");
    EXPECT_EQ(box.Text(), "4.5__");
    EXPECT_EQ(box.SelStart(), 3);
    QTest::keyClick(&box, Qt::Key_Backspace);
    EXPECT_EQ(box.Text(), "4.___");

    box.setMask("#.###");
    QTest::keyClicks(&box, "4.5");
    EXPECT_EQ(box.Text(), "4.5__");

    box.setMask("&###.#");
    QTest::keyClicks(&box, "-12");
    EXPECT_EQ(box.Text(), "-12_._");
    QTest::keyClicks(&box, "3.45"); // the last digit finds no position left
    EXPECT_EQ(box.Text(), "-123.4");
}

TEST_F(MaskedEditTest, TypingRefusesWhatAPositionCannotHold) {
    box.setMask("#.###");
    QTest::keyClicks(&box, "a-4");
    EXPECT_EQ(box.Text(), "4.___");
    QTest::keyClicks(&box, "\u00b2");
    EXPECT_EQ(box.Text(), "4.___");
    EXPECT_EQ(box.SelStart(), 2);

    // The sign position takes any character, a digit included.
    box.setMask("&###.#");
    QTest::keyClicks(&box, "5");
    EXPECT_EQ(box.Text(), "5___._");
}

TEST_F(MaskedEditTest, TypingOverASelectionReplacesIt) {
    box.setMask("&###.#");
    ASSERT_TRUE(box.setText("+050.0"));
    box.setSelStart(0);
    box.setSelLength(box.Text().size());
    QTest::keyClicks(&box, "-0125");
    EXPECT_EQ(box.Text(), "-012.5");

    box.setMask("#.###");
    ASSERT_TRUE(box.setText("1.234"));
    box.setSelStart(2);
    box.setSelLength(2);
    QTest::keyClicks(&box, "7");
    EXPECT_EQ(box.Text(), "1.7_4");
}

TEST_F(MaskedEditTest, SelectionReadsAndSetsInFieldPositions) {
    box.setMask("#.###");
    ASSERT_TRUE(box.setText("1.234"));
    box.selectAll();
    EXPECT_EQ(box.SelStart(), 0);
    EXPECT_EQ(box.SelLength(), 5);

    box.setSelStart(1); // on the point: stays there, selection collapsed
    EXPECT_EQ(box.SelStart(), 1);
    EXPECT_EQ(box.SelLength(), 0);
    box.setSelLength(3);
    EXPECT_EQ(box.SelStart(), 1);
    EXPECT_EQ(box.SelLength(), 3);
    EXPECT_EQ(box.selectedText(), ".23");

    box.setSelStart(99);
    EXPECT_EQ(box.SelStart(), 5);
    box.setSelStart(2);
    box.setSelLength(99);
    EXPECT_EQ(box.SelLength(), 3);
    box.setSelStart(-1);
    box.setSelLength(-1);
    EXPECT_EQ(box.SelStart(), 0);
    EXPECT_EQ(box.SelLength(), 0);

    // A selection made backwards from the end reads from its left edge.
    box.setSelStart(5);
    QTest::keyClick(&box, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(&box, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(box.SelStart(), 3);
    EXPECT_EQ(box.SelLength(), 2);
}

TEST_F(MaskedEditTest, ASelectionMadeWhenTheFocusArrivesHasTheLastWord) {
    // As the workbench prepares a setpoint field: on the application's focus change.
    next.setMask("&###.#");
    ASSERT_TRUE(next.setText("+050.0"));
    std::vector<QWidget*> entered;
    const QMetaObject::Connection watch =
        QObject::connect(qApp, &QApplication::focusChanged, &next, [&](QWidget*, QWidget* now) {
            entered.push_back(now);
            if (now == &next) {
                next.setSelStart(0);
                next.setSelLength(next.Text().size());
            }
        });

    QTest::keyClick(&box, Qt::Key_Tab);
    ASSERT_TRUE(next.hasFocus());
    EXPECT_EQ(entered, std::vector<QWidget*>{&next});
    EXPECT_EQ(next.SelStart(), 0);
    EXPECT_EQ(next.SelLength(), 6);
    // Typing replaces the whole selected text.
    QTest::keyClicks(&next, "-1");
    EXPECT_EQ(next.Text(), "-1__._");

    // Back with Shift+Tab: the field left keeps what was typed.
    QTest::keyClick(&next, Qt::Key_Backtab);
    ASSERT_TRUE(box.hasFocus());
    EXPECT_EQ(next.Text(), "-1__._");
    EXPECT_EQ(entered, (std::vector<QWidget*>{&next, &box}));
    QObject::disconnect(watch);
}

} // namespace
