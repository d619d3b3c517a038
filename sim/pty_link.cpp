#include "sim/pty_link.h"

#include <QByteArrayView>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

bool setNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

} // namespace

bool PtyLink::fail(const char* what) {
    error_ = QStringLiteral("%1: %2").arg(QLatin1String(what),
                                          QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

bool PtyLink::open() {
    controller_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (controller_ < 0 || ::grantpt(controller_) != 0 || ::unlockpt(controller_) != 0)
        return fail("pseudo-terminal");
    const char* name = ::ptsname(controller_);
    if (!name)
        return fail("ptsname");
    toolSideName_ = name;
    toolSide_ = ::open(toolSideName_.constData(), O_RDWR | O_NOCTTY);
    if (toolSide_ < 0)
        return fail("opening the pty");
    termios settings{};
    if (::tcgetattr(toolSide_, &settings) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    if (::tcsetattr(toolSide_, TCSANOW, &settings) != 0)
        return fail("tcsetattr");
    if (!setNonBlocking(controller_))
        return fail("fcntl");
    return true;
}

bool PtyLink::publish(const QString& path) {
    linkPath_ = QFile::encodeName(path);
    struct stat existing {};
    if (::lstat(linkPath_.constData(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error_ = QStringLiteral("'%1' exists and is not a symbolic link").arg(path);
        return false;
    }
    // Made under a temporary name and renamed over the path, so the path is never missing or
    // half made.
    const QByteArray temporary = linkPath_ + ".tmp-" + QByteArray::number(::getpid());
    ::unlink(temporary.constData());
    if (::symlink(toolSideName_.constData(), temporary.constData()) != 0 ||
        ::rename(temporary.constData(), linkPath_.constData()) != 0) {
        error_ = QStringLiteral("cannot make the link '%1': %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        ::unlink(temporary.constData());
        return false;
    }
    linkPublished_ = true;
    return true;
}

ssize_t PtyLink::read(char* buffer, size_t size) {
    return ::read(controller_, buffer, size);
}

ssize_t PtyLink::write(const char* bytes, size_t size) {
    return ::write(controller_, bytes, size);
}

std::optional<int> PtyLink::unreadOnToolSide() const {
    int unread = 0;
    if (toolSide_ < 0 || ::ioctl(toolSide_, FIONREAD, &unread) != 0)
        return std::nullopt;
    return unread;
}

void PtyLink::removeLink() {
    if (!linkPublished_)
        return;
    linkPublished_ = false;
    // Only our own link goes; another simulator may have taken the name over meanwhile.
    char target[4096];
    const ssize_t length = ::readlink(linkPath_.constData(), target, sizeof target - 1);
    if (length >= 0 && QByteArrayView(target, length) == QByteArrayView(toolSideName_))
        ::unlink(linkPath_.constData());
}

void PtyLink::close() {
    removeLink();
    if (controller_ >= 0)
        ::close(controller_);
    if (toolSide_ >= 0)
        ::close(toolSide_);
    controller_ = toolSide_ = -1;
}

} // namespace sim
