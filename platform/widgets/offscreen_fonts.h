// The fonts a program drawing without a display (the offscreen platform) finds.
#pragma once

namespace platform {

// Lets the offscreen platform find the system's fonts. On Windows it reads font files from one
// folder only, QT_QPA_FONTDIR or else a "fonts" folder beside Qt's libraries, which no
// installation ships, and without fonts every letter it draws is an empty box: the folder is
// set to the system's fonts folder unless the operator chose one. Elsewhere the offscreen
// platform asks the system's font configuration itself, and nothing changes. Called before the
// application object is made.
void findSystemFontsOffscreen();

} // namespace platform
