// The job and reference settings as the calibration log's job records tell them, so that a
// log says on its own what every test in it was made with.
#pragma once

#include "records/calibration_log_reader.h"
#include "records/job.h"

#include <vector>

namespace records {

// The settings the log's job records leave at its end, each record's value after the change
// taken in order (the pending file's after the log's). A log that cannot be read tells none.
JobSettings jobSettingsFromLog(const CalibrationLogReading& log);

// The settings a test is about to be made with that the log does not tell yet (a settings file
// handed over or edited outside the tool): every job and reference setting that differs, and
// the tag of the controller of `identityKey`, each with the log's value as its value before.
std::vector<JobChange> jobSettingsNotInLog(const CalibrationLogReading& log,
                                           const JobSettings& current, const QString& identityKey);

} // namespace records
