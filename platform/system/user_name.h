// The operating system's name of the user running the program.
#pragma once

#include <QString>

namespace platform {

// The login name of the running user, or an empty text when it cannot be found.
QString osLoginName();

} // namespace platform
