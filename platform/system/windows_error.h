// The system's own words for a Windows error code.
#pragma once

#include <QString>

namespace platform {

// The text Windows gives for `code` (a GetLastError value), without the closing line break;
// "error <code>" when the system has no text for it.
QString windowsErrorText(unsigned long code);

} // namespace platform
