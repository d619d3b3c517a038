#include "login/frm_login.h"

#include "app/module1.h"
#include "app/window_helpers.h"
#include "codec/message_number.h"
#include "link/serial_port.h"
#include "platform/form_activation.h"
#include "platform/message_box.h"
#include "platform/status_bar.h"
#include "platform/user_name.h"
#include "platform/waits.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

template <typename W> W* named(W* widget, const QString& name) {
    widget->setObjectName(name);
    widget->setAccessibleDescription(name);
    return widget;
}

constexpr int kUserNameBufferLength = 10;

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
    Module1::CenterForm(*this);
    txtUserName->setText(ProposedUserName(platform::osLoginName()));
    cboComPort->clear();
    for (int port = 1; port <= 9; ++port)
        cboComPort->addItem(QString::number(port));
    cboComPort->setCurrentText(QStringLiteral("1"));
    Module1::iComPort = 1;
}

void frmLogin::selectUserName() {
    txtUserName->setFocus(Qt::OtherFocusReason);
    txtUserName->setSelection(0, int(txtUserName->text().size()));
}

void frmLogin::Form_Activate() {
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
        Module1::SetStatusText(*sbLogin, 1,
                               QStringLiteral("Error! Invalid User Name. Please Re-enter."));
        platform::MsgBox(QStringLiteral("Invalid User Name, try again!"), platform::vbOKOnly,
                         QStringLiteral("Login"));
        selectUserName();
        return;
    }
    if (!Module1::OpenPort(Module1::iComPort)) {
        const int answer = platform::MsgBox(QStringLiteral("Port is invalid, try again"),
                                            platform::vbOKCancel, QStringLiteral("Login"));
        Module1::SetStatusText(*sbLogin, 1, QStringLiteral("Port is Invalid! "));
        if (answer == platform::vbCancel) {
            Module1::ShutDown();
            done(QDialog::Rejected);
            return;
        }
        OK = false;
        return;
    }
    Module1::SetStatusText(*sbLogin, 1,
                           QStringLiteral("ComPort") +
                               Module1::MessageNumberText(Module1::iComPort) +
                               QStringLiteral(" Opened Successfully!"));
    sbLogin->repaint();
    platform::waits().sleep(500);
    OK = true;
    done(QDialog::Accepted);
}

void frmLogin::cmdCancel_Click() {
    OK = false;
    done(QDialog::Rejected);
    Module1::ShutDown();
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
