// Holding a file open the way a spreadsheet that shows it does: with no sharing, so that no
// other program, nor this one, can read, write or remove it while it is held; or letting others
// read it meanwhile, as a spreadsheet that has it open for editing does.
#pragma once

#include <QString>

namespace platform {

// Holds the existing file at `path` from construction until release() or destruction. Only
// Windows holds files against other programs; elsewhere held() is false and reason() says so.
class ExclusiveFileHold {
  public:
    enum class OthersMay { DoNothing, Read };
    explicit ExclusiveFileHold(const QString& path, OthersMay others = OthersMay::DoNothing);
    ~ExclusiveFileHold();
    ExclusiveFileHold(const ExclusiveFileHold&) = delete;
    ExclusiveFileHold& operator=(const ExclusiveFileHold&) = delete;

    bool held() const { return m_handle != nullptr; }
    // Why the file is not held; empty while it is.
    QString reason() const { return m_reason; }
    // Lets the file go; nothing happens when it is not held.
    void release();

  private:
    void* m_handle = nullptr;
    QString m_reason;
};

} // namespace platform
