// Leaving the workbench: Exit asks first, the title-bar close does not.
#include "workbench/frm_calibrate_sensor.h"

#include "platform/widgets/message_box.h"
#include "records/calibration_log.h"

#include <QCloseEvent>
#include <QTimer>

namespace workbench {

void frmCalibrateSensor::cmdCancel_Click() {
    // Never torn down in the middle of a transaction: asked again once it has ended.
    if (deferIfBusy(Request::Exit))
        return;
    const int answer = platform::MsgBox(QStringLiteral("Are You SURE you want to EXIT?"),
                                        platform::vbYesNo, QStringLiteral("Exit Program"));
    if (answer != platform::vbYes)
        return;
    Timer1->stop();
    m_unloading = true;
    done(QDialog::Rejected);
}

void frmCalibrateSensor::closeEvent(QCloseEvent* event) {
    if (deferIfBusy(Request::CloseNow)) {
        event->ignore();
        return;
    }
    Timer1->stop();
    m_unloading = true;
    QDialog::closeEvent(event);
}

void frmCalibrateSensor::done(int result) {
    // Silently: a log still held keeps them pending for the next Accept, in this program or
    // the next.
    records::movePendingLines(records::calibrationLogPath());
    QDialog::done(result);
}

} // namespace workbench
