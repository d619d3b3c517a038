#include "platform/widgets/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

namespace {

MessageBoxHandler& handlerSlot() {
    static MessageBoxHandler handler;
    return handler;
}

int showRealBox(int style, const QString& title, const QString& text) {
    QMessageBox box(QApplication::activeWindow());
    box.setObjectName(QStringLiteral("MsgBox"));
    box.setWindowTitle(title);
    // File names and OS reasons reach boxes; they are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon(QMessageBox::NoIcon);
    switch (style) {
    case vbOKCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case vbYesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    case vbRetryCancel:
        box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Retry);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return vbOK;
    case QMessageBox::Cancel:
        return vbCancel;
    case QMessageBox::Yes:
        return vbYes;
    case QMessageBox::No:
        return vbNo;
    case QMessageBox::Retry:
        return vbRetry;
    default:
        if (style == vbYesNo)
            return vbNo;
        return style == vbOKCancel || style == vbRetryCancel ? vbCancel : vbOK;
    }
}

} // namespace

int MsgBox(const QString& text, int style, const QString& title) {
    if (handlerSlot())
        return handlerSlot()(style, title, text);
    return showRealBox(style, title, text);
}

void setMessageBoxHandler(MessageBoxHandler handler) {
    handlerSlot() = std::move(handler);
}

MessageBoxHandler messageBoxHandler() {
    return handlerSlot();
}

} // namespace platform
