#include "platform/system/programs.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace platform {

namespace {
std::function<bool(const QString&)>& starterSlot() {
    static std::function<bool(const QString&)> starter;
    return starter;
}
} // namespace

QString systemInfoViewerOnPath() {
#ifdef Q_OS_WIN
    return QString(); // found through the registry there
#else
    // Desktop system information viewers, the most complete first.
    const QStringList candidates{QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"),
                                 QStringLiteral("kinfocenter")};
    for (const QString& name : candidates) {
        const QString found = QStandardPaths::findExecutable(name);
        if (!found.isEmpty())
            return found;
    }
    return QString();
#endif
}

bool startProgram(const QString& path) {
    if (starterSlot())
        return starterSlot()(path);
    return QProcess::startDetached(path, {});
}

void setProgramStarter(std::function<bool(const QString&)> starter) {
    starterSlot() = std::move(starter);
}

} // namespace platform
