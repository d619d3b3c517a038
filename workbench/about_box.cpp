// The about box, opened with "Info".
#include "workbench/frm_calibrate_sensor.h"

#include "app/about.h"

void frmCalibrateSensor::cmdAbout_Click() {
    // Loaded afresh each time, so it shows the values of the moment; the refresh timer
    // keeps running while it is open.
    frmAbout about(this);
    about.exec();
}
