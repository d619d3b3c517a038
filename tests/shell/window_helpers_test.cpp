// Centring forms on the work area and writing status-bar panels.
#include "platform/widgets/status_bar.h"
#include "shell/window_helpers.h"

#include <gtest/gtest.h>

namespace {

TEST(CenterForm, CentresWithinTheWorkAreaDroppingTheHalf) {
    // Task bar on the left (80 wide) and on top (40 high): centred in what remains.
    const QRect workArea(80, 40, 1200, 760);
    EXPECT_EQ(shell::CenteredPosition(workArea, QSize(400, 300)), QPoint(80 + 400, 40 + 230));
    // Odd differences: the half is dropped, so the form sits half a unit left and up.
    EXPECT_EQ(shell::CenteredPosition(workArea, QSize(401, 301)), QPoint(80 + 399, 40 + 229));
    // Larger than the area: a negative offset, sticking out equally on both sides.
    EXPECT_EQ(shell::CenteredPosition(QRect(0, 0, 800, 600), QSize(1000, 700)), QPoint(-100, -50));
}

TEST(SetStatusText, WritesTextPanelsOnly) {
    platform::StatusBar bar;
    bar.addPanel(platform::StatusBar::sbrText, QStringLiteral("Status"));
    bar.addPanel(platform::StatusBar::sbrTime);
    const QString clock = bar.panelText(2);
    shell::SetStatusText(bar, 1, QStringLiteral("Ready"));
    shell::SetStatusText(bar, 2, QStringLiteral("Ready"));
    shell::SetStatusText(bar, 3, QStringLiteral("Ready"));
    EXPECT_EQ(bar.panelText(1), QStringLiteral("Ready"));
    EXPECT_EQ(bar.panelText(2), clock);
    EXPECT_EQ(bar.panelCount(), 2);
}

} // namespace
