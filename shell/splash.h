// The splash screen shown while the program starts.
#pragma once

#include <QWidget>

class QFrame;
class QLabel;

namespace shell {

// Product name, version and platform, shown for about two seconds at start-up.
class frmSplash : public QWidget {
    Q_OBJECT
  public:
    explicit frmSplash(QWidget* parent = nullptr);

    QLabel* picLogo;
    QLabel* lblProductName;
    QLabel* lblVersion;
    QLabel* lblPlatform;
    QLabel* lblCopyright;
    QFrame* fraMainFrame;
    QFrame* Frame3;

  private:
    void Form_Load();
};

} // namespace shell
