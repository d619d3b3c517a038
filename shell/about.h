// The about box: program and controller versions, and the system information viewer.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace shell {

class frmAbout : public QDialog {
    Q_OBJECT
  public:
    explicit frmAbout(QWidget* parent = nullptr);

    QLabel* picIcon;
    QLabel* Image1;
    QLabel* lblProductName;
    QLabel* lblVersion;
    QLabel* lblDBMicro;
    QLabel* lblTBMicro;
    QLabel* lblPlatform;
    QLabel* lblCopyright;
    QPushButton* cmdOK;
    QPushButton* cmdSysInfo;

  private slots:
    void cmdOK_Click();
    void cmdSysInfo_Click();

  private:
    void Form_Load();
};

// Starts the system information viewer, or tells the operator it is unavailable.
void StartSysInfo();

// Reads a text value from the registry into `KeyVal`; false (and an empty text) when the
// key or value is missing.
bool GetKeyValue(qint32 KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal);

} // namespace shell
