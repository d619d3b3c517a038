// The simulated controller's end of the line: a pseudo-terminal whose other side the tool
// opens as its serial port, optionally published under a fixed path.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include <sys/types.h>

namespace sim {

class PtyLink {
  public:
    PtyLink() = default;
    ~PtyLink() { close(); }
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    // Makes the pty, raw at 9600 8N1, with our end non-blocking. On failure the reason is in
    // error().
    bool open();
    // Makes `path` a symbolic link to the tool's side. A stale link there is replaced; any
    // other file is left alone and refused.
    bool publish(const QString& path);

    // Where the tool opens the line: the published path, else the pty's own name.
    QByteArray toolPath() const { return linkPath_.isEmpty() ? toolSideName_ : linkPath_; }
    const QByteArray& toolSideName() const { return toolSideName_; }
    const QByteArray& linkPath() const { return linkPath_; }
    // Our end, for poll().
    int descriptor() const { return controller_; }

    // read(2) and write(2) on our end: bytes moved, or -1 with errno set.
    ssize_t read(char* buffer, size_t size);
    ssize_t write(const char* bytes, size_t size);
    // Bytes the tool has not read yet; none when that cannot be told.
    std::optional<int> unreadOnToolSide() const;

    // Removes our link and closes the pty: the tool's side is hung up. Safe to call twice.
    void close();

    QString error() const { return error_; }

  private:
    bool fail(const char* what);
    void removeLink();

    int controller_ = -1;
    // Our own descriptor of the tool's side stays open for the whole run, so the tool closing
    // the port never hangs up the line and it can open the port again.
    int toolSide_ = -1;
    QByteArray toolSideName_;
    QByteArray linkPath_;
    bool linkPublished_ = false;
    QString error_;
};

} // namespace sim
