// A status bar made of numbered panels.
#pragma once

#include <QStatusBar>

#include <vector>

class QLabel;

namespace platform {

// A status bar whose panels are counted from 1. A panel of style 0 shows text that the
// program sets; a panel of a greater style shows something by itself (the time, the date or
// a key state) and ignores text.
class StatusBar : public QStatusBar {
    Q_OBJECT
  public:
    // Legacy names: `sbr...`, the old program's panel styles (text, Caps Lock, Num Lock,
    // Insert, Scroll Lock, time, date), with the same numbers.
    enum PanelStyle : int {
        sbrText = 0,
        sbrCaps = 1,
        sbrNum = 2,
        sbrIns = 3,
        sbrScrl = 4,
        sbrTime = 5,
        sbrDate = 6
    };

    explicit StatusBar(QWidget* parent = nullptr);

    // Adds a panel and returns its number.
    int addPanel(PanelStyle style, const QString& text = QString());
    int panelCount() const { return int(m_panels.size()); }
    // Style and text of panel `index` (from 1); out-of-range panels read as style -1.
    int panelStyle(int index) const;
    QString panelText(int index) const;
    // Sets the text of panel `index`; returns false when there is no such panel.
    bool setPanelText(int index, const QString& text);

  private:
    struct Panel {
        PanelStyle style;
        QLabel* label;
    };
    std::vector<Panel> m_panels;
};

} // namespace platform
