// The user name the technician signed in with at the login, for the records the program keeps.
#pragma once

#include <QString>

namespace platform {

// Set by the login once the port has opened; empty until then.
void setSignedInUser(const QString& name);
QString signedInUser();

} // namespace platform
