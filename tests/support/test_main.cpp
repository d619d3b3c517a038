// Test entry point: a QApplication exists for every test, so widgets, timers and the
// serial port's notifiers work as they do in the program.
#include "platform/widgets/message_box.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // A box no test expected fails that test instead of waiting for an operator forever.
    platform::setMessageBoxHandler([](int style, const QString& title, const QString& text) {
        ADD_FAILURE() << "unexpected message box \"" << title.toStdString()
                      << "\": " << text.toStdString();
        return style == platform::vbYesNo      ? int(platform::vbNo)
               : style == platform::vbOKCancel ? int(platform::vbCancel)
                                               : int(platform::vbOK);
    });
    return RUN_ALL_TESTS();
}
