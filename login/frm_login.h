// The login: user name and serial port.
#pragma once

#include <QDialog>

class QComboBox;
class QKeyEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace platform {
class StatusBar;
struct PortDevice;
} // namespace platform

namespace login {

// The operator confirms or types a user name and picks the port the controller is on.
// OK opens the port; only an open port closes the login with success. Cancel ends the
// program.
class frmLogin : public QDialog {
    Q_OBJECT
  public:
    explicit frmLogin(QWidget* parent = nullptr);

    // True only after the port opened; read by start-up once the form has closed.
    bool portOpened() const { return OK; }

    // The name proposed for a login name: the login name fetched into a buffer of ten
    // characters with its closing zero, so names of ten or more characters are not proposed.
    static QString ProposedUserName(const QString& loginName);

    // The tool tip of a port's item in the list: the port and the device it reaches, on a
    // second line the adapter where the system knows it.
    static QString PortToolTip(const platform::PortDevice& device);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private slots:
    void Form_Activate();
    void cboComPort_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

  private:
    bool OK = false;

    // The controls; tests find them by their object names.
    QLabel* lblLabels;
    QLineEdit* txtUserName;
    QLabel* Label1;
    QLabel* Label5;
    QComboBox* cboComPort;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    platform::StatusBar* sbLogin;
    QGroupBox* Frame1;
    QGroupBox* Frame2;

    void Form_Load();
    void buildControls();
    void selectUserName();
    void showPortToolTips();
    // Panel 2 of the status bar: the device and the reason the port did not open.
    void showPortFailure();
    void clearPortFailure();
};

} // namespace login
