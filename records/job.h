// The job a calibration is made for and the reference instrument it is made with, as kept in
// tq8400-cal.ini beside the program, so that a laboratory can hand its reference data to every
// technician in one file.
//
// The file is UTF-8 text a person can edit: "[section]" lines, "key=value" lines, and comment
// lines starting with ';' or '#'. Section and key names are matched without regard to case; the
// first line of a key counts. A value is taken as it stands after the '=' (commas, quotes, '=',
// ';' and any other character included), blanks at either end left off. A value written in
// double quotes keeps such blanks and may hold \n (line break), \r, \t, \", \\ and \uXXXX; the
// program writes a value that way only when it needs it (a multi-line address, blanks at either
// end, a leading quote, control characters).
//
//   [job]           organisation, address, site, customer, work_order, procedure, ambient
//   [reference]     description, serial, certificate, laboratory, due_date (yyyy-MM-dd),
//                   uncertainty_volts (expanded uncertainty, k = 2)
//   [controllers]   one key per controller identity, its value the controller's tag or serial
//                   number. The identity comes from the controller, so the key is the identity
//                   percent-encoded: letters, digits, '.', '_' and '-' stand as they are, every
//                   other byte of its UTF-8 is written %XX.
//
// Saving changes only the lines of the values that changed: comments, blank lines, sections and
// keys of the laboratory's own stay as they were.
#pragma once

#include <QDate>
#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace records {

struct JobDetails {
    QString organisation, address, site, customer, workOrder, procedure, ambient;
};

struct ReferenceInstrument {
    QString description, serial, certificate, laboratory;
    QString dueDate;          // as stored: yyyy-MM-dd
    QString uncertaintyVolts; // as stored: expanded uncertainty (k = 2), volts

    // Nothing when empty or not a real date in the form yyyy-MM-dd.
    std::optional<QDate> due() const;
    // Nothing when empty, not a finite number, or below 0.
    std::optional<double> uncertainty() const;
};

struct JobSettings {
    JobDetails job;
    ReferenceInstrument reference;
    std::map<QString, QString> controllerTags; // identity key -> tag or serial number

    // The tag given for the controller of that identity; empty when none was given.
    QString tagFor(const QString& identityKey) const;
};

// Why no test may use this reference, one line per field at fault, each naming the field and
// why: a due date before `today`, a due date missing or malformed, no certificate number, an
// uncertainty missing, not a number or negative. Nothing when it may be used. A reference is
// still fit on its due date itself; it is refused from the day after.
std::optional<QString> referenceRefusal(const ReferenceInstrument& reference, const QDate& today);

// One changed setting: its key as in the file ("job/site", "reference/due_date",
// "controllers/<encoded identity>"), with the value before and after.
struct JobChange {
    QString key, before, after;
};

// The settings that differ, in the order of the file: [job], [reference], then the controllers
// in the order of their keys. A tag that is empty counts as none.
std::vector<JobChange> jobChanges(const JobSettings& before, const JobSettings& after);

// Puts one setting, named by its key as a JobChange names it, into `settings`: how the log's
// job records are replayed. False for a key that names no setting (then nothing changes).
bool applyJobSetting(JobSettings& settings, const QString& key, const QString& value);

// The key an identity has in the [controllers] section (percent-encoded, see above).
QString controllerSettingKey(const QString& identityKey);

// Reading and writing tq8400-cal.ini. A missing file reads as empty settings without error.
struct JobSettingsRead {
    JobSettings settings;
    QString error; // why the file could not be read; empty when it was
};
JobSettingsRead readJobSettings(const QString& path);

// Puts the settings into the file at `path`, keeping whatever else it holds, and replaces it
// whole (never half written). A file that exists but cannot be read is left alone, so that
// nothing of it is lost. Empty on success, otherwise why the file was not written.
QString writeJobSettings(const QString& path, const JobSettings& settings);

inline constexpr char kJobSettingsFileName[] = "tq8400-cal.ini";

} // namespace records
