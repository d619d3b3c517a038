#include "platform/widgets/status_bar.h"

#include <QDate>
#include <QLabel>
#include <QLocale>
#include <QTime>

namespace platform {

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
}

int StatusBar::addPanel(PanelStyle style, const QString& text) {
    auto* label = new QLabel(this);
    const int number = int(m_panels.size()) + 1;
    label->setObjectName(QStringLiteral("Panel%1").arg(number));
    switch (style) {
    case sbrTime:
        label->setText(QLocale().toString(QTime::currentTime(), QLocale::ShortFormat));
        break;
    case sbrDate:
        label->setText(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
        break;
    default:
        label->setText(text);
        break;
    }
    addWidget(label, 1);
    m_panels.push_back({style, label});
    return number;
}

int StatusBar::panelStyle(int index) const {
    if (index < 1 || index > panelCount())
        return -1;
    return m_panels[size_t(index - 1)].style;
}

QString StatusBar::panelText(int index) const {
    if (index < 1 || index > panelCount())
        return QString();
    return m_panels[size_t(index - 1)].label->text();
}

bool StatusBar::setPanelText(int index, const QString& text) {
    if (index < 1 || index > panelCount())
        return false;
    QLabel* label = m_panels[size_t(index - 1)].label;
    label->setText(text);
    label->setAccessibleName(text);
    return true;
}

} // namespace platform
