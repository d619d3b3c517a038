#include "platform/system/signed_in_user.h"

namespace platform {

namespace {

QString& currentUser() {
    static QString name;
    return name;
}

} // namespace

void setSignedInUser(const QString& name) {
    currentUser() = name;
}

QString signedInUser() {
    return currentUser();
}

} // namespace platform
