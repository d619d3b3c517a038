#include "login/frm_login.h"

#include "codec/message_number.h"
#include "link/serial_port.h"
#include "platform/serial/pdq.h"
#include "platform/serial/port_info.h"
#include "platform/system/signed_in_user.h"
#include "platform/system/user_name.h"
#include "platform/system/waits.h"
#include "platform/widgets/form_activation.h"
#include "platform/widgets/message_box.h"
#include "platform/widgets/status_bar.h"
#include "shell/module1.h"
#include "shell/window_helpers.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

namespace login {

namespace {

using shell::named;

constexpr int kUserNameBufferLength = 10;

constexpr int kFirstPort = 1;
constexpr int kLastPort = 9;

// Panel 2 of the status bar: why the port did not open.
constexpr int kFailurePanel = 2;

} // namespace

frmLogin::frmLogin(QWidget* parent) : QDialog(parent) {
    named(this, QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("Login"));
    buildControls();
    platform::FormActivation::instance().track(this);
    connect(&platform::FormActivation::instance(), &platform::FormActivation::activated, this,
            [this](QWidget* form) {
                if (form == this)
                    Form_Activate();
            });
    Form_Load();
}

void frmLogin::buildControls() {
    lblLabels = named(new QLabel(QStringLiteral("&User Name:")), QStringLiteral("lblLabels"));
    txtUserName = named(new QLineEdit, QStringLiteral("txtUserName"));
    txtUserName->setAccessibleName(QStringLiteral("User name"));
    lblLabels->setBuddy(txtUserName);
    Label1 = named(new QLabel(QStringLiteral("Please Select Com Port")), QStringLiteral("Label1"));
    Label5 = named(new QLabel(QStringLiteral("Port")), QStringLiteral("Label5"));
    cboComPort = named(new QComboBox, QStringLiteral("cboComPort"));
    cboComPort->setEditable(true);
    cboComPort->setInsertPolicy(QComboBox::NoInsert);
    cboComPort->setAccessibleName(QStringLiteral("Port"));
    Label5->setBuddy(cboComPort);
    cmdOK = named(new QPushButton(QStringLiteral("&OK")), QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = named(new QPushButton(QStringLiteral("&Cancel")), QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    sbLogin = named(new platform::StatusBar, QStringLiteral("sbLogin"));
    sbLogin->addPanel(platform::StatusBar::sbrText, QStringLiteral("Status"));
    // The second panel is there from the start, so that a failure does not move the first.
    sbLogin->addPanel(platform::StatusBar::sbrText);
    if (auto* failurePanel = sbLogin->findChild<QLabel*>(QStringLiteral("Panel2")))
        failurePanel->setAccessibleDescription(failurePanel->objectName());
    sbLogin->setAccessibleName(QStringLiteral("Status"));

    for (QLabel* label : {lblLabels, Label1, Label5})
        label->setAccessibleName(label->text().remove(QLatin1Char('&')));
    for (QPushButton* button : {cmdOK, cmdCancel})
        button->setAccessibleName(button->text().remove(QLatin1Char('&')));

    Frame1 = named(new QGroupBox, QStringLiteral("Frame1"));
    auto* portLayout = new QGridLayout(Frame1);
    portLayout->addWidget(Label1, 0, 0, 1, 2);
    portLayout->addWidget(Label5, 1, 0);
    portLayout->addWidget(cboComPort, 1, 1);

    Frame2 = named(new QGroupBox, QStringLiteral("Frame2"));
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(lblLabels);
    nameRow->addWidget(txtUserName, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* inner = new QVBoxLayout(Frame2);
    inner->addLayout(nameRow);
    inner->addWidget(Frame1);
    inner->addLayout(buttons);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(Frame2);
    outer->addWidget(sbLogin);
    setTabOrder(txtUserName, cboComPort);
    setTabOrder(cboComPort, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    connect(cboComPort, &QComboBox::activated, this, &frmLogin::cboComPort_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmLogin::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogin::cmdCancel_Click);
    adjustSize();
}

QString frmLogin::ProposedUserName(const QString& loginName) {
    // The name and its closing zero must fit the buffer; otherwise it stays blank.
    if (loginName.isEmpty() || loginName.size() + 1 > kUserNameBufferLength)
        return QString();
    return loginName;
}

void frmLogin::Form_Load() {
    shell::CenterForm(*this);
    txtUserName->setText(ProposedUserName(platform::osLoginName()));
    cboComPort->clear();
    for (int port = kFirstPort; port <= kLastPort; ++port)
        cboComPort->addItem(QString::number(port));
    showPortToolTips();
    cboComPort->setCurrentText(QStringLiteral("1"));
    Module1::iComPort = 1;
}

QString frmLogin::PortToolTip(const platform::PortDevice& device) {
    QString tip = QStringLiteral("Port %1: ").arg(device.portNumber);
    if (device.systemPort)
        tip += QStringLiteral("system port ");
    tip += platform::deviceText(device);
    if (!device.present)
        tip += QStringLiteral(" (not present)");
    QStringList adapter;
    if (!device.description.isEmpty())
        adapter << device.description;
    if (!device.serialNumber.isEmpty())
        adapter << QStringLiteral("serial number ") + device.serialNumber;
    if (!adapter.isEmpty())
        tip += QLatin1Char('\n') + adapter.join(QStringLiteral(", "));
    return tip;
}

// Read again whenever the login comes to the front, so that an adapter plugged in or a link
// made meanwhile shows.
void frmLogin::showPortToolTips() {
    for (const platform::PortDevice& device : platform::describePorts(kFirstPort, kLastPort))
        cboComPort->setItemData(device.portNumber - kFirstPort, PortToolTip(device),
                                Qt::ToolTipRole);
}

void frmLogin::showPortFailure() {
    const platform::SerialControl& comm = platform::PDQ().Comm1();
    const QString path = comm.devicePath().isEmpty() ? platform::portDevicePath(Module1::iComPort)
                                                     : comm.devicePath();
    // The serial control names the device in front of its reason; here the device stands
    // first anyway, with where its link leads.
    QString reason = devicelink::OpenPortError();
    const QString named = path + QStringLiteral(": ");
    if (reason.startsWith(named))
        reason.remove(0, named.size());
    // The device on the first line and the reason on the second, so that a long path does
    // not make the form as wide as both together.
    QString text =
        platform::deviceText(platform::describeDevice(path)) + QLatin1Char('\n') + reason;
    switch (comm.lastOpenErrorKind()) {
    case platform::PortErrorKind::Permission:
        // Group membership is read at login, so joining takes effect after logging in again.
        if (const auto group = platform::serialAccessGroup(path))
            text += QStringLiteral(" - join the \"%1\" group and log in again").arg(*group);
        break;
    case platform::PortErrorKind::Busy:
        // The system words a port held by another program as a permission error.
        text += QStringLiteral(" - another program is using it");
        break;
    default:
        break;
    }
    shell::SetStatusText(*sbLogin, kFailurePanel, text);
}

void frmLogin::clearPortFailure() {
    shell::SetStatusText(*sbLogin, kFailurePanel, QString());
}

void frmLogin::selectUserName() {
    txtUserName->setFocus(Qt::OtherFocusReason);
    txtUserName->setSelection(0, int(txtUserName->text().size()));
}

void frmLogin::Form_Activate() {
    showPortToolTips();
    selectUserName();
}

void frmLogin::cboComPort_Click() {
    // Only a picked item changes the port; text typed into the box does not.
    const QString picked = cboComPort->currentText();
    bool isNumber = false;
    const int number = picked.toInt(&isNumber);
    if (isNumber)
        Module1::iComPort = number;
}

void frmLogin::cmdOK_Click() {
    if (txtUserName->text().isEmpty()) {
        shell::SetStatusText(*sbLogin, 1,
                             QStringLiteral("Error! Invalid User Name. Please Re-enter."));
        clearPortFailure();
        platform::MsgBox(QStringLiteral("Invalid User Name, try again!"), platform::vbOKOnly,
                         QStringLiteral("Login"));
        selectUserName();
        return;
    }
    if (!devicelink::OpenPort(Module1::iComPort)) {
        // The reason is on show while the operator decides to try again or give up.
        showPortFailure();
        const int answer = platform::MsgBox(QStringLiteral("Port is invalid, try again"),
                                            platform::vbOKCancel, QStringLiteral("Login"));
        shell::SetStatusText(*sbLogin, 1, QStringLiteral("Port is Invalid! "));
        if (answer == platform::vbCancel) {
            devicelink::ShutDown();
            done(QDialog::Rejected);
            return;
        }
        OK = false;
        return;
    }
    shell::SetStatusText(*sbLogin, 1,
                         QStringLiteral("ComPort") + codec::MessageNumberText(Module1::iComPort) +
                             QStringLiteral(" Opened Successfully!"));
    clearPortFailure();
    platform::setSignedInUser(txtUserName->text());
    sbLogin->repaint();
    platform::waits().sleep(500);
    OK = true;
    done(QDialog::Accepted);
}

void frmLogin::cmdCancel_Click() {
    OK = false;
    done(QDialog::Rejected);
    devicelink::ShutDown();
}

// Esc presses Cancel (which ends the program); the close box only closes the form, and
// start-up then ends the program.
void frmLogin::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdCancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace login
