#include "platform/widgets/offscreen_fonts.h"

#include <QDir>
#include <QStandardPaths>
#include <QtGlobal>

namespace platform {

void findSystemFontsOffscreen() {
#ifdef Q_OS_WIN
    if (!qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR"))
        return;
    const QString fonts = QStandardPaths::writableLocation(QStandardPaths::FontsLocation);
    if (!fonts.isEmpty())
        qputenv("QT_QPA_FONTDIR", QDir::toNativeSeparators(fonts).toLocal8Bit());
#endif
}

} // namespace platform
