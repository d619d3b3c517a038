// The C library's own words for an error number (errno: ENOSPC, EIO ...), the same on every
// system. (Qt's qt_error_string reads a number as a Windows error code on Windows, where
// ENOSPC would come out as "The printer is out of paper.")
#pragma once

#include <QString>

namespace platform {

QString errorText(int errorNumber);

} // namespace platform
