#include "shell/splash.h"

#include "shell/artwork.h"
#include "shell/module1.h"
#include "shell/window_helpers.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace shell {

namespace {
QLabel* namedLabel(const QString& name, const QString& text, QWidget* parent) {
    return named(new QLabel(text, parent), name);
}
} // namespace

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setAccessibleDescription(objectName());

    fraMainFrame = new QFrame(this);
    fraMainFrame->setObjectName(QStringLiteral("fraMainFrame"));
    fraMainFrame->setAccessibleDescription(fraMainFrame->objectName());
    fraMainFrame->setFrameShape(QFrame::Box);
    Frame3 = new QFrame(fraMainFrame);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    Frame3->setAccessibleDescription(Frame3->objectName());
    Frame3->setFrameShape(QFrame::StyledPanel);

    picLogo = namedLabel(QStringLiteral("picLogo"), QString(), Frame3);
    picLogo->setPixmap(artwork::logo(128));
    picLogo->setFixedSize(128, 128);
    lblProductName =
        namedLabel(QStringLiteral("lblProductName"), QStringLiteral("Product"), Frame3);
    QFont big = lblProductName->font();
    big.setPointSize(18);
    big.setBold(true);
    lblProductName->setFont(big);
    lblVersion = namedLabel(QStringLiteral("lblVersion"), QStringLiteral("Version"), Frame3);
    lblPlatform = namedLabel(QStringLiteral("lblPlatform"), QStringLiteral("Platform"), Frame3);
    QFont platformFont = lblPlatform->font();
    platformFont.setPointSize(14);
    platformFont.setBold(true);
    lblPlatform->setFont(platformFont);
    lblCopyright = namedLabel(QStringLiteral("lblCopyright"), QStringLiteral("Copyright"), Frame3);

    auto* texts = new QVBoxLayout;
    texts->addWidget(lblProductName);
    texts->addWidget(lblVersion);
    texts->addStretch();
    texts->addWidget(lblPlatform);
    texts->addWidget(lblCopyright);
    auto* inner = new QHBoxLayout(Frame3);
    inner->setContentsMargins(24, 24, 24, 24);
    inner->setSpacing(24);
    inner->addWidget(picLogo, 0, Qt::AlignTop);
    inner->addLayout(texts, 1);
    auto* frameLayout = new QVBoxLayout(fraMainFrame);
    frameLayout->addWidget(Frame3);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(fraMainFrame);
    resize(520, 240);

    Form_Load();
}

void frmSplash::Form_Load() {
    shell::CenterForm(*this);
    lblProductName->setText(QStringLiteral("TQ-8400 Sensor Calibration"));
    lblVersion->setText(QStringLiteral("Version : ") + Module1::vProgramVersion +
                        QStringLiteral("   ") + Module1::vReleaseDate);
    lblPlatform->setText(QStringLiteral("Windows 95/98/NT4"));
    for (QLabel* label : {lblProductName, lblVersion, lblPlatform, lblCopyright})
        label->setAccessibleName(label->text());
}

} // namespace shell
