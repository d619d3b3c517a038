// Fonts the screens ask for by their legacy names.
#pragma once

#include <QFont>

namespace platform {

// The fixed-pitch "Terminal" font where it is installed, otherwise the system's fixed-pitch
// font, at the given size.
QFont terminalFont(int pointSize);

} // namespace platform
