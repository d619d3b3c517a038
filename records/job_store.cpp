#include "records/job_store.h"

#include <map>

namespace records {

JobStore::JobStore(QObject* parent) : QObject(parent) {}

QString JobStore::load(const QString& path) {
    m_path = path;
    JobSettingsRead read = readJobSettings(path);
    m_settings = std::move(read.settings);
    return read.error;
}

QString JobStore::update(const JobSettings& newSettings) {
    JobSettings kept = newSettings;
    std::erase_if(kept.controllerTags, [](const auto& entry) {
        return entry.first.isEmpty() || entry.second.isEmpty();
    });
    if (m_path.isEmpty())
        return QStringLiteral("No job file was given, so the job settings were not saved.");
    const std::vector<JobChange> changes = jobChanges(m_settings, kept);
    if (changes.empty())
        return QString();
    if (const QString error = writeJobSettings(m_path, kept); !error.isEmpty())
        return error;
    m_settings = std::move(kept);
    emit changed(changes);
    return QString();
}

} // namespace records
