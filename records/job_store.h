// The program's one copy of the job settings: read from the job file, changed only by writing
// the file first, and telling every change.
#pragma once

#include "records/job.h"

#include <QObject>
#include <QString>

#include <vector>

namespace records {

class JobStore : public QObject {
    Q_OBJECT

  public:
    explicit JobStore(QObject* parent = nullptr);

    // Reads the settings from the file at `path`, which later updates write. A file that
    // cannot be read leaves empty settings; the text says why (empty when it was read or is
    // missing). Emits nothing.
    QString load(const QString& path);

    const JobSettings& settings() const { return m_settings; }
    QString path() const { return m_path; }

    // Writes the new settings to the file, then keeps them and emits changed() with what
    // changed. When the file could not be written the old settings stay and the text says
    // why; empty when all went well. Settings equal to the present ones write nothing and emit
    // nothing. Controllers without a tag are dropped.
    QString update(const JobSettings& newSettings);

  signals:
    void changed(const std::vector<records::JobChange>& changes);

  private:
    QString m_path;
    JobSettings m_settings;
};

} // namespace records
