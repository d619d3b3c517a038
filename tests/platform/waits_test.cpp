// The program's sleep: timers and painting go on, the operator's input waits for the next
// yield.
#include "platform/system/waits.h"

#include <QLineEdit>
#include <QPaintEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <qpa/qwindowsysteminterface.h>

namespace {

class CountingEdit : public QLineEdit {
  public:
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        QLineEdit::paintEvent(event);
    }
};

TEST(EventLoopWaits, SleepKeepsTimersAndPaintingButHoldsInputUntilTheNextYield) {
    CountingEdit edit;
    edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit));
    edit.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
    edit.setFocus();

    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        edit.update();
    });
    ticker.start(20);

    // A key arrives from the window system just as the sleep begins.
    QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
        edit.windowHandle(), QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
        edit.windowHandle(), QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    const int paintsBefore = edit.paints;

    platform::EventLoopWaits waits;
    const qint64 started = waits.nowMs();
    waits.sleep(300);
    EXPECT_GE(waits.nowMs() - started, 300);
    EXPECT_GE(ticks, 5);
    EXPECT_GT(edit.paints, paintsBefore);
    EXPECT_TRUE(edit.text().isEmpty());

    waits.yield();
    EXPECT_EQ(edit.text(), QStringLiteral("a"));
}

} // namespace
