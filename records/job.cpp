#include "records/job.h"

#include "platform/files/whole_file.h"

#include <QByteArray>
#include <QDir>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

namespace records {

namespace {

// Far more than any job file holds; anything longer is not one.
constexpr qint64 kLargestFile = 1024 * 1024;

const QString kJobSection = QStringLiteral("job");
const QString kReferenceSection = QStringLiteral("reference");
const QString kControllersSection = QStringLiteral("controllers");

struct JobField {
    const char* key;
    QString JobDetails::*member;
};
const JobField kJobFields[] = {
    {"organisation", &JobDetails::organisation},
    {"address", &JobDetails::address},
    {"site", &JobDetails::site},
    {"customer", &JobDetails::customer},
    {"work_order", &JobDetails::workOrder},
    {"procedure", &JobDetails::procedure},
    {"ambient", &JobDetails::ambient},
};

struct ReferenceField {
    const char* key;
    QString ReferenceInstrument::*member;
};
const ReferenceField kReferenceFields[] = {
    {"description", &ReferenceInstrument::description},
    {"serial", &ReferenceInstrument::serial},
    {"certificate", &ReferenceInstrument::certificate},
    {"laboratory", &ReferenceInstrument::laboratory},
    {"due_date", &ReferenceInstrument::dueDate},
    {"uncertainty_volts", &ReferenceInstrument::uncertaintyVolts},
};

// One setting as the file holds it. In [job] and [reference] the key is the name in lower
// case; in [controllers] it is the encoded identity, compared as it decodes.
struct Setting {
    QString section;
    QString key;
    QString value;
};

// Every setting the program keeps, in the order of the file. Controllers without a tag have
// none.
std::vector<Setting> settingsOf(const JobSettings& settings) {
    std::vector<Setting> all;
    for (const JobField& field : kJobFields)
        all.push_back({kJobSection, QString::fromLatin1(field.key), settings.job.*field.member});
    for (const ReferenceField& field : kReferenceFields)
        all.push_back(
            {kReferenceSection, QString::fromLatin1(field.key), settings.reference.*field.member});
    std::map<QString, QString> controllers;
    for (const auto& [identity, tag] : settings.controllerTags)
        if (!identity.isEmpty() && !tag.isEmpty())
            controllers[controllerSettingKey(identity)] = tag;
    for (const auto& [key, tag] : controllers)
        all.push_back({kControllersSection, key, tag});
    return all;
}

QString identityOfKey(const QString& key) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(key.toUtf8()));
}

// --- Values -------------------------------------------------------------------------------

// Characters a value cannot hold as it stands: line breaks of every kind and control codes.
bool needsEscape(QChar c) {
    const QChar::Category category = c.category();
    return category == QChar::Other_Control || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph || c == QChar::ByteOrderMark;
}

QString quoted(const QString& value) {
    QString text = QStringLiteral("\"");
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\':
            text += QStringLiteral("\\\\");
            break;
        case '"':
            text += QStringLiteral("\\\"");
            break;
        case '\n':
            text += QStringLiteral("\\n");
            break;
        case '\r':
            text += QStringLiteral("\\r");
            break;
        case '\t':
            text += QStringLiteral("\\t");
            break;
        default:
            if (needsEscape(c))
                text += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                text += c;
        }
    }
    return text + QLatin1Char('"');
}

// A value as written after the '=': as it stands when it reads back the same, else quoted.
QString valueText(const QString& value) {
    if (value.isEmpty())
        return value;
    bool plain =
        !value.front().isSpace() && !value.back().isSpace() && value.front() != QLatin1Char('"');
    for (const QChar c : value)
        plain = plain && !needsEscape(c);
    return plain ? value : quoted(value);
}

// The character of four hexadecimal digits.
std::optional<QChar> hexCode(const QString& digits) {
    if (digits.size() != 4)
        return std::nullopt;
    ushort code = 0;
    for (const QChar digit : digits) {
        const int value = QStringView(u"0123456789abcdef").indexOf(digit.toLower());
        if (value < 0)
            return std::nullopt;
        code = ushort(code * 16 + value);
    }
    return QChar(code);
}

// The inside of a quoted value with its escapes undone; nothing when it is not one (a quote
// not escaped inside, or a backslash at the end), and the text then stands as it is.
std::optional<QString> unquoted(const QString& inside) {
    QString value;
    for (qsizetype i = 0; i < inside.size(); ++i) {
        const QChar c = inside[i];
        if (c == QLatin1Char('"'))
            return std::nullopt;
        if (c != QLatin1Char('\\')) {
            value += c;
            continue;
        }
        if (++i == inside.size())
            return std::nullopt;
        const QChar escaped = inside[i];
        switch (escaped.unicode()) {
        case 'n':
            value += QLatin1Char('\n');
            break;
        case 'r':
            value += QLatin1Char('\r');
            break;
        case 't':
            value += QLatin1Char('\t');
            break;
        case '\\':
        case '"':
            value += escaped;
            break;
        case 'u':
            if (const std::optional<QChar> code = hexCode(inside.mid(i + 1, 4))) {
                value += *code;
                i += 4;
                break;
            }
            value += QLatin1Char('\\');
            value += escaped;
            break;
        default: // not an escape: the backslash stands, as a hand-written path would have it
            value += QLatin1Char('\\');
            value += escaped;
        }
    }
    return value;
}

QString valueOf(const QString& text) {
    const QString value = text.trimmed();
    if (value.size() >= 2 && value.front() == QLatin1Char('"') &&
        value.back() == QLatin1Char('"')) {
        if (const std::optional<QString> inside = unquoted(value.mid(1, value.size() - 2)))
            return *inside;
    }
    return value;
}

// --- The file as lines ---------------------------------------------------------------------

struct Line {
    Line(const QString& lineText, const QString& sectionName = QString())
        : text(lineText), section(sectionName) {}

    QString text;    // as in the file, without its line end
    QString section; // of the section it is in, in lower case ("" before the first)
    bool header = false;
    bool setting = false; // a key line of a section the program keeps
    QString key;          // of a setting: as Setting::key
    QString value;        // of a setting: as it reads
};

struct IniText {
    bool byteOrderMark = false;
    QString lineEnd = QStringLiteral("\n");
    std::vector<Line> lines;
};

bool isBlankOrComment(const QString& text) {
    const QString trimmed = text.trimmed();
    return trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) ||
           trimmed.startsWith(QLatin1Char('#'));
}

bool isKeptKey(const QString& section, const QString& key) {
    if (section == kControllersSection)
        return !identityOfKey(key).isEmpty();
    if (section == kJobSection) {
        for (const JobField& field : kJobFields)
            if (key == QLatin1String(field.key))
                return true;
    }
    if (section == kReferenceSection) {
        for (const ReferenceField& field : kReferenceFields)
            if (key == QLatin1String(field.key))
                return true;
    }
    return false;
}

Line lineOf(const QString& text, const QString& section) {
    Line line{text, section};
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
        line.header = true;
        line.section = trimmed.mid(1, trimmed.size() - 2).trimmed().toLower();
        return line;
    }
    if (isBlankOrComment(text))
        return line;
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals < 0)
        return line;
    // Controllers are told apart by the identity their key decodes to, however it is spelt.
    QString key = text.left(equals).trimmed();
    key = section == kControllersSection ? controllerSettingKey(identityOfKey(key)) : key.toLower();
    if (key.isEmpty() || !isKeptKey(section, key))
        return line;
    line.setting = true;
    line.key = key;
    line.value = valueOf(text.mid(equals + 1));
    return line;
}

// Nothing when the bytes are not UTF-8.
std::optional<IniText> parse(const QByteArray& bytes) {
    IniText ini;
    const QByteArray bom("\xEF\xBB\xBF");
    ini.byteOrderMark = bytes.startsWith(bom);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(ini.byteOrderMark ? bytes.mid(bom.size()) : bytes);
    if (decoder.hasError())
        return std::nullopt;
    QStringList texts = text.split(QLatin1Char('\n'));
    if (texts.size() > 1 && texts.front().endsWith(QLatin1Char('\r')))
        ini.lineEnd = QStringLiteral("\r\n");
    if (texts.back().isEmpty())
        texts.removeLast();
    QString section;
    for (QString& lineText : texts) {
        if (lineText.endsWith(QLatin1Char('\r')))
            lineText.chop(1);
        ini.lines.push_back(lineOf(lineText, section));
        section = ini.lines.back().section;
    }
    return ini;
}

QByteArray serialise(const IniText& ini) {
    QString text;
    for (const Line& line : ini.lines)
        text += line.text + ini.lineEnd;
    QByteArray bytes = ini.byteOrderMark ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    return bytes + text.toUtf8();
}

JobSettings settingsIn(const IniText& ini) {
    JobSettings settings;
    std::set<std::pair<QString, QString>> seen;
    for (const Line& line : ini.lines) {
        if (!line.setting || !seen.insert({line.section, line.key}).second)
            continue; // the first line of a key counts
        if (line.section == kControllersSection) {
            if (!line.value.isEmpty())
                settings.controllerTags[identityOfKey(line.key)] = line.value;
            continue;
        }
        for (const JobField& field : kJobFields)
            if (line.section == kJobSection && line.key == QLatin1String(field.key))
                settings.job.*field.member = line.value;
        for (const ReferenceField& field : kReferenceFields)
            if (line.section == kReferenceSection && line.key == QLatin1String(field.key))
                settings.reference.*field.member = line.value;
    }
    return settings;
}

Line settingLine(const Setting& setting, const QString& keyText) {
    Line line{keyText + QLatin1Char('=') + valueText(setting.value), setting.section};
    line.setting = true;
    line.key = setting.key;
    line.value = setting.value;
    return line;
}

// The settings put into the file's lines: a changed value rewrites its line, a key the file
// lacks goes at the end of its section (a section the file lacks, at the end of the file),
// later lines of a key and controllers without a tag go. Everything else stays as it is.
void merge(IniText& ini, const JobSettings& settings) {
    const std::vector<Setting> wanted = settingsOf(settings);
    std::vector<bool> written(wanted.size(), false);
    std::vector<Line> lines;
    std::set<std::pair<QString, QString>> seen;
    for (const Line& line : ini.lines) {
        if (!line.setting) {
            lines.push_back(line);
            continue;
        }
        if (!seen.insert({line.section, line.key}).second)
            continue;
        const auto found = std::find_if(wanted.begin(), wanted.end(), [&line](const Setting& s) {
            return s.section == line.section && s.key == line.key;
        });
        if (found == wanted.end())
            continue;
        written[std::size_t(found - wanted.begin())] = true;
        if (found->value == line.value) {
            lines.push_back(line);
            continue;
        }
        // The key keeps its spelling.
        const QString keyText = line.text.left(line.text.indexOf(QLatin1Char('='))).trimmed();
        lines.push_back(settingLine(*found, keyText));
    }

    for (const QString& section : {kJobSection, kReferenceSection, kControllersSection}) {
        std::vector<Line> missing;
        for (std::size_t i = 0; i < wanted.size(); ++i)
            if (wanted[i].section == section && !written[i])
                missing.push_back(settingLine(wanted[i], wanted[i].key));
        if (missing.empty())
            continue;
        // After the last line of the section that is not blank or a comment: comments and blank
        // lines that follow belong to what comes next.
        std::optional<std::size_t> after;
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i].section == section && !isBlankOrComment(lines[i].text))
                after = i + 1;
        if (!after) {
            if (!lines.empty() && !lines.back().text.trimmed().isEmpty())
                lines.push_back(Line{QString(), lines.back().section});
            Line header{QLatin1Char('[') + section + QLatin1Char(']'), section};
            header.header = true;
            lines.push_back(header);
            after = lines.size();
        }
        lines.insert(lines.begin() + std::ptrdiff_t(*after), missing.begin(), missing.end());
    }
    ini.lines = std::move(lines);
}

IniText newIniText() {
    IniText ini;
    for (const char* comment : {
             "; The job and the reference instrument of tq8400-cal: UTF-8 text, key=value.",
             "; A value in double quotes keeps blanks at its ends and may hold \\n (a line "
             "break), \\\" and \\\\.",
         })
        ini.lines.push_back(Line{QString::fromUtf8(comment)});
    return ini;
}

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

bool isDateText(const QString& text) {
    if (text.size() != 10)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool dash = i == 4 || i == 7;
        if (dash ? text[i] != QLatin1Char('-')
                 : (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9')))
            return false;
    }
    return true;
}

} // namespace

std::optional<QDate> ReferenceInstrument::due() const {
    if (!isDateText(dueDate))
        return std::nullopt;
    const QDate date = QDate::fromString(dueDate, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<double> ReferenceInstrument::uncertainty() const {
    bool ok = false;
    const double volts = uncertaintyVolts.toDouble(&ok);
    if (!ok || !std::isfinite(volts) || volts < 0)
        return std::nullopt;
    return volts;
}

QString JobSettings::tagFor(const QString& identityKey) const {
    if (identityKey.isEmpty())
        return QString();
    const auto found = controllerTags.find(identityKey);
    return found == controllerTags.end() ? QString() : found->second;
}

std::optional<QString> referenceRefusal(const ReferenceInstrument& reference, const QDate& today) {
    QStringList reasons;
    const QString dueText = reference.dueDate.trimmed();
    if (dueText.isEmpty())
        reasons << QStringLiteral("Reference due date: none is given; a reference may be used "
                                  "only while its calibration is in date.");
    else if (const std::optional<QDate> due = reference.due(); !due)
        reasons << QStringLiteral("Reference due date: \"%1\" is not a date in the form "
                                  "yyyy-MM-dd.")
                       .arg(reference.dueDate);
    // Fit on its due date itself; refused from the day after.
    else if (*due < today)
        reasons << QStringLiteral("Reference due date: the reference was due for calibration on "
                                  "%1 and may not be used after that date.")
                       .arg(due->toString(QStringLiteral("yyyy-MM-dd")));
    if (reference.certificate.trimmed().isEmpty())
        reasons << QStringLiteral("Reference certificate number: none is given; a test must "
                                  "name the certificate that makes the reference traceable.");
    if (reference.uncertaintyVolts.trimmed().isEmpty())
        reasons << QStringLiteral("Reference uncertainty: none is given; every point's "
                                  "uncertainty starts from the reference's.");
    else if (!reference.uncertainty()) {
        bool number = false;
        const double volts = reference.uncertaintyVolts.toDouble(&number);
        reasons << (number && std::isfinite(volts)
                        ? QStringLiteral("Reference uncertainty: \"%1\" V is below zero.")
                        : QStringLiteral("Reference uncertainty: \"%1\" is not a number of "
                                         "volts."))
                       .arg(reference.uncertaintyVolts);
    }
    if (reasons.isEmpty())
        return std::nullopt;
    return reasons.join(QLatin1Char('\n'));
}

std::vector<JobChange> jobChanges(const JobSettings& before, const JobSettings& after) {
    std::vector<JobChange> changes;
    auto compare = [&changes](const QString& key, const QString& from, const QString& to) {
        if (from != to)
            changes.push_back({key, from, to});
    };
    for (const JobField& field : kJobFields)
        compare(kJobSection + QLatin1Char('/') + QLatin1String(field.key), before.job.*field.member,
                after.job.*field.member);
    for (const ReferenceField& field : kReferenceFields)
        compare(kReferenceSection + QLatin1Char('/') + QLatin1String(field.key),
                before.reference.*field.member, after.reference.*field.member);
    // By the key of the file; a tag that is empty is none.
    std::map<QString, std::pair<QString, QString>> tags;
    for (const auto& [identity, tag] : before.controllerTags)
        if (!identity.isEmpty() && !tag.isEmpty())
            tags[controllerSettingKey(identity)].first = tag;
    for (const auto& [identity, tag] : after.controllerTags)
        if (!identity.isEmpty() && !tag.isEmpty())
            tags[controllerSettingKey(identity)].second = tag;
    for (const auto& [key, fromTo] : tags)
        compare(kControllersSection + QLatin1Char('/') + key, fromTo.first, fromTo.second);
    return changes;
}

bool applyJobSetting(JobSettings& settings, const QString& key, const QString& value) {
    const qsizetype slash = key.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return false;
    const QString section = key.left(slash);
    const QString name = key.mid(slash + 1);
    if (section == kJobSection) {
        for (const JobField& field : kJobFields)
            if (name == QLatin1String(field.key)) {
                settings.job.*field.member = value;
                return true;
            }
        return false;
    }
    if (section == kReferenceSection) {
        for (const ReferenceField& field : kReferenceFields)
            if (name == QLatin1String(field.key)) {
                settings.reference.*field.member = value;
                return true;
            }
        return false;
    }
    if (section != kControllersSection || name.isEmpty())
        return false;
    const QString identity = QString::fromUtf8(QByteArray::fromPercentEncoding(name.toLatin1()));
    if (value.isEmpty())
        settings.controllerTags.erase(identity);
    else
        settings.controllerTags[identity] = value;
    return true;
}

QString controllerSettingKey(const QString& identityKey) {
    return QString::fromLatin1(identityKey.toUtf8().toPercentEncoding(QByteArray(), "~"));
}

JobSettingsRead readJobSettings(const QString& path) {
    QByteArray bytes;
    QString reason;
    switch (platform::readWholeFile(path, kLargestFile, bytes, &reason)) {
    case platform::ReadWholeResult::Missing:
        return {};
    case platform::ReadWholeResult::Failed:
        return {JobSettings(), QStringLiteral("%1 could not be read: %2").arg(shown(path), reason)};
    case platform::ReadWholeResult::Read:
        break;
    }
    const std::optional<IniText> ini = parse(bytes);
    if (!ini)
        return {JobSettings(),
                QStringLiteral("%1 could not be read: it is not UTF-8 text.").arg(shown(path))};
    return {settingsIn(*ini), QString()};
}

QString writeJobSettings(const QString& path, const JobSettings& settings) {
    QByteArray bytes;
    QString reason;
    IniText ini;
    switch (platform::readWholeFile(path, kLargestFile, bytes, &reason)) {
    case platform::ReadWholeResult::Missing:
        ini = newIniText();
        break;
    case platform::ReadWholeResult::Failed:
        return QStringLiteral("%1 could not be read, so it was left as it is: %2")
            .arg(shown(path), reason);
    case platform::ReadWholeResult::Read:
        if (std::optional<IniText> read = parse(bytes))
            ini = std::move(*read);
        else
            return QStringLiteral("%1 is not UTF-8 text, so it was left as it is.")
                .arg(shown(path));
        break;
    }
    merge(ini, settings);
    if (!platform::replaceFileWhole(path, serialise(ini), &reason))
        return QStringLiteral("%1 could not be written: %2").arg(shown(path), reason);
    return QString();
}

} // namespace records
