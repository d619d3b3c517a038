#include "records/job_in_log.h"

#include "records/calibration_log.h"

namespace records {

JobSettings jobSettingsFromLog(const CalibrationLogReading& log) {
    JobSettings settings;
    if (!log.error.isEmpty())
        return settings;
    const QString job = logRecordName(LogRecord::Job);
    for (const LogLine& line : log.lines)
        if (log.cell(line, QStringLiteral("record")) == job)
            applyJobSetting(settings, log.cell(line, QStringLiteral("setting")),
                            log.cell(line, QStringLiteral("value_after")));
    return settings;
}

std::vector<JobChange> jobSettingsNotInLog(const CalibrationLogReading& log,
                                           const JobSettings& current, const QString& identityKey) {
    const QString tagKey = QStringLiteral("controllers/") + controllerSettingKey(identityKey);
    std::vector<JobChange> untold;
    for (const JobChange& change : jobChanges(jobSettingsFromLog(log), current)) {
        const bool controllers = change.key.startsWith(QLatin1String("controllers/"));
        // Other controllers' tags are theirs to tell, when they are tested.
        if (controllers && (identityKey.isEmpty() || change.key != tagKey))
            continue;
        untold.push_back(change);
    }
    return untold;
}

} // namespace records
