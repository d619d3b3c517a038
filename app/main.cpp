// The calibration tool.
#include "app/startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TQ-8400 Sensor Calibration"));
    return Module1::Main();
}
