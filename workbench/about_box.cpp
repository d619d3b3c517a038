// The about box, opened with "Info".
#include "workbench/frm_calibrate_sensor.h"

#include "shell/about.h"

namespace workbench {

void frmCalibrateSensor::cmdAbout_Click() {
    // A modal box never opens in the middle of a load, a reading or an Accept (the controller
    // would stay in calibration mode for as long as it is open): it opens once they end.
    if (deferIfBusy(Request::About))
        return;
    // Loaded afresh each time, so it shows the values of the moment; the refresh timer
    // keeps running while it is open.
    shell::frmAbout about(this);
    about.exec();
}

} // namespace workbench
