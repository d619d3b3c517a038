#include "platform/widgets/fonts.h"

#include <QFontDatabase>

namespace platform {

QFont terminalFont(int pointSize) {
    QFont font;
    if (QFontDatabase::hasFamily(QStringLiteral("Terminal")))
        font = QFont(QStringLiteral("Terminal"));
    else
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(pointSize);
    return font;
}

} // namespace platform
