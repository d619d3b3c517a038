#include "shell/about.h"

#include "link/identity_block.h"
#include "platform/system/programs.h"
#include "platform/system/registry.h"
#include "platform/widgets/fonts.h"
#include "platform/widgets/form_activation.h"
#include "platform/widgets/message_box.h"
#include "shell/artwork.h"
#include "shell/module1.h"
#include "shell/window_helpers.h"

#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace shell {

namespace {

const QString kSysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kSysInfoValue = QStringLiteral("PATH");
const QString kSysInfoLocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString kSysInfoLocationValue = QStringLiteral("MSINFO");

QLabel* namedLabel(const QString& name, const QString& text) {
    auto* label = new QLabel(text);
    // Some lines carry the controller's own identity text: shown as it is, never as markup.
    label->setTextFormat(Qt::PlainText);
    return named(label, name);
}

QPixmap bannerPicture() {
    QPixmap picture(256, 105);
    picture.fill(QColor(0x1d, 0x3c, 0x6e));
    QPainter p(&picture);
    p.drawPixmap(8, 8, artwork::logo(89));
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setPointSize(20);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(104, 0, 148, 105), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("TQ-8400"));
    return picture;
}

} // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setAccessibleDescription(objectName());
    setWindowTitle(QStringLiteral("About TQ-8400"));

    picIcon = namedLabel(QStringLiteral("picIcon"), QString());
    picIcon->setPixmap(artwork::logo(128));
    picIcon->setFixedSize(128, 128);
    Image1 = namedLabel(QStringLiteral("Image1"), QString());
    Image1->setPixmap(bannerPicture());
    Image1->setFixedSize(256, 105);
    lblProductName = namedLabel(QStringLiteral("lblProductName"), QStringLiteral("Product"));
    QFont productFont(QStringLiteral("Arial"), 18);
    productFont.setBold(true);
    lblProductName->setFont(productFont);
    lblVersion =
        namedLabel(QStringLiteral("lblVersion"), QStringLiteral("Terminal Program Version    :"));
    lblDBMicro =
        namedLabel(QStringLiteral("lblDBMicro"), QStringLiteral("Display Board  Micro Version:"));
    lblTBMicro =
        namedLabel(QStringLiteral("lblTBMicro"), QStringLiteral("Terminal Board Micro Version:"));
    for (QLabel* line : {lblVersion, lblDBMicro, lblTBMicro}) {
        line->setFont(platform::terminalFont(9));
        line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    lblPlatform = namedLabel(QStringLiteral("lblPlatform"), QStringLiteral("Platform"));
    // Both sizes have a fraction (the form's fonts were set in quarter points); a whole-number
    // size would drop it.
    QFont platformFont(QStringLiteral("Arial"));
    platformFont.setPointSizeF(15.75);
    platformFont.setBold(true);
    lblPlatform->setFont(platformFont);
    lblCopyright = namedLabel(QStringLiteral("lblCopyright"), QStringLiteral("Copyright"));
    QFont copyrightFont(QStringLiteral("Arial"));
    copyrightFont.setPointSizeF(8.25);
    lblCopyright->setFont(copyrightFont);

    cmdOK = new QPushButton(QStringLiteral("&OK"));
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."));
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setAutoDefault(false);
    for (QPushButton* button : {cmdOK, cmdSysInfo}) {
        button->setAccessibleDescription(button->objectName());
        button->setAccessibleName(button->text().remove(QLatin1Char('&')));
    }

    auto* top = new QHBoxLayout;
    top->addWidget(picIcon, 0, Qt::AlignTop);
    auto* titles = new QVBoxLayout;
    titles->addWidget(lblProductName);
    titles->addWidget(Image1);
    top->addLayout(titles, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch();
    auto* bottom = new QHBoxLayout;
    auto* notes = new QVBoxLayout;
    notes->addWidget(lblPlatform);
    notes->addWidget(lblCopyright);
    bottom->addLayout(notes, 1);
    bottom->addLayout(buttons);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addWidget(lblVersion);
    outer->addWidget(lblDBMicro);
    outer->addWidget(lblTBMicro);
    outer->addLayout(bottom);

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    platform::FormActivation::instance().track(this);
    adjustSize();
    Form_Load();
}

void frmAbout::Form_Load() {
    shell::CenterForm(*this);
    lblProductName->setText(QStringLiteral("TQ-8400 Sensor Calibration"));
    // The three prefixes are 31 characters each, so the values line up in the fixed font.
    lblVersion->setText(QStringLiteral("Terminal Program Version     : ") + Module1::vReleaseDate +
                        QStringLiteral("   ver. ") + Module1::vProgramVersion);
    lblDBMicro->setText(QStringLiteral("Display  Board Micro Version : ") +
                        devicelink::DateFieldText(Module1::vDisplayMicroDate) + QLatin1Char(' ') +
                        Module1::vDisplayMicroInfo);
    lblTBMicro->setText(QStringLiteral("Terminal Board Micro Version : ") +
                        Module1::sTerminalMicroDate);
    lblPlatform->setText(QStringLiteral("Windows 95/98/NT4"));
    for (QLabel* label :
         {lblProductName, lblVersion, lblDBMicro, lblTBMicro, lblPlatform, lblCopyright})
        label->setAccessibleName(label->text());
}

void frmAbout::cmdOK_Click() {
    accept();
}

void frmAbout::cmdSysInfo_Click() {
    shell::StartSysInfo();
}

bool GetKeyValue(qint32 KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                 QString& KeyVal) {
    platform::RegistryValue value;
    if (!platform::readRegistryValue(KeyRoot, KeyName, SubKeyRef, value)) {
        KeyVal.clear();
        return false;
    }
    // A size that counts the closing NUL keeps the characters before it.
    const int reported = qBound(0, value.reportedSize, int(value.data.size()));
    QByteArray kept = value.data.left(reported);
    if (reported > 0 && value.data.at(reported - 1) == '\0')
        kept.chop(1);
    if (value.type == platform::REG_SZ) {
        KeyVal = QString::fromLocal8Bit(kept);
    } else if (value.type == platform::REG_DWORD) {
        QString hex;
        for (int i = int(kept.size()) - 1; i >= 0; --i)
            hex += QStringLiteral("%1").arg(quint8(kept.at(i)), 2, 16, QLatin1Char('0'));
        KeyVal = QStringLiteral("&h") + hex;
    }
    return true;
}

void StartSysInfo() {
    QString programPath;
    QString location;
    if (GetKeyValue(platform::HKEY_LOCAL_MACHINE, kSysInfoKey, kSysInfoValue, programPath)) {
        // Found under its own key: started without checking that the file exists.
    } else if (GetKeyValue(platform::HKEY_LOCAL_MACHINE, kSysInfoLocationKey, kSysInfoLocationValue,
                           location) &&
               QFile::exists(location + QStringLiteral("\\MSINFO32.EXE"))) {
        programPath = location + QStringLiteral("\\MSINFO32.EXE");
    } else {
        // Systems without the registry entries: a viewer installed on the path, if any.
        programPath = platform::systemInfoViewerOnPath();
    }
    if (programPath.isEmpty() || !platform::startProgram(programPath))
        platform::MsgBox(QStringLiteral("System Information Is Unavailable At This Time"),
                         platform::vbOKOnly, platform::kApplicationTitle);
}

} // namespace shell
