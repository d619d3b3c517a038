// The certificate's content, read from the calibration log: which lines belong to the
// controller, and for each channel which tests and which Accept the certificate shows.
#include "records/certificate.h"

#include "records/channel_table.h"
#include "records/point_result.h"

#include <QDateTime>
#include <QRegularExpression>

#include <algorithm>
#include <map>

namespace records {

namespace {

void addOnce(QStringList& list, const QString& text) {
    if (!text.isEmpty() && !list.contains(text))
        list << text;
}

// Where a line stands, as the certificate names it: "14" in the log, "pending 3" in its
// pending file.
QString placeOf(const LogLine& line) {
    return (line.pending ? QStringLiteral("pending %1") : QStringLiteral("%1"))
        .arg(line.firstFileLine);
}

// Reads the cells of the log's lines by their column titles.
class Cells {
  public:
    explicit Cells(const CalibrationLogReading& log) : m_log(log) {}
    QString operator()(const LogLine& line, const char* column) const {
        return m_log.cell(line, QLatin1String(column));
    }
    QStringList identity(const LogLine& line) const {
        return {(*this)(line, "display_micro_date"), (*this)(line, "display_micro_info"),
                (*this)(line, "terminal_micro_date")};
    }
    QString record(const LogLine& line) const { return (*this)(line, "record"); }

  private:
    const CalibrationLogReading& m_log;
};

// A channel's tests and Accepts in the order of the log.
struct ChannelEvents {
    std::vector<CertificateTest> tests;
    std::vector<const LogLine*> accepts;
};

// The key a test's lines share: channel, phase and the time it started.
QString testKey(const Cells& cell, const LogLine& line) {
    return cell(line, "channel") + QLatin1Char('|') + cell(line, "phase") + QLatin1Char('|') +
           cell(line, "test_started");
}

void addLineTo(CertificateTest& test, const LogLine& line) {
    if (test.firstFileLine == 0) {
        test.firstFileLine = line.firstFileLine;
        test.pending = line.pending;
    }
    test.lastFileLine = line.lastFileLine;
    test.chained = test.chained && line.chained;
}

// The file line a test or an Accept begins on, in the order of the log: the pending file's
// lines after the log's.
std::pair<bool, int> orderOf(const CertificateTest& test) {
    return {test.pending, test.firstFileLine};
}
std::pair<bool, int> orderOf(const LogLine& line) {
    return {line.pending, line.firstFileLine};
}

QString testPlace(const CertificateTest& test) {
    return (test.pending ? QStringLiteral("pending %1") : QStringLiteral("%1"))
        .arg(test.firstFileLine);
}

const QString kAsFound = QStringLiteral("as-found");
const QString kAsLeft = QStringLiteral("as-left");

// Picks what the certificate shows of one channel; the rest are earlier attempts.
CertificateRow rowOf(const QString& channel, const ChannelEvents& events) {
    CertificateRow row;
    row.channel = channel;
    const LogLine* accept = events.accepts.empty() ? nullptr : events.accepts.back();
    const auto before = [&](const CertificateTest& test) {
        return accept == nullptr || orderOf(test) < orderOf(*accept);
    };
    const auto after = [&](const CertificateTest& test) {
        return accept == nullptr || orderOf(*accept) < orderOf(test);
    };
    const CertificateTest* asFound = nullptr;
    const CertificateTest* asLeft = nullptr;
    for (const CertificateTest& test : events.tests) {
        if (test.phase == kAsFound && before(test))
            asFound = &test;
        else if (test.phase == kAsLeft && after(test))
            asLeft = &test;
    }
    if (asFound != nullptr)
        row.asFound = *asFound;
    if (accept != nullptr)
        row.accept = *accept;
    if (asLeft != nullptr)
        row.asLeft = *asLeft;
    // Every other test or Accept of the channel, in the order of the log.
    std::vector<std::pair<std::pair<bool, int>, QString>> others;
    for (const CertificateTest& test : events.tests)
        if (&test != asFound && &test != asLeft)
            others.push_back({orderOf(test), testPlace(test)});
    for (const LogLine* line : events.accepts)
        if (line != accept)
            others.push_back({orderOf(*line), placeOf(*line)});
    std::sort(others.begin(), others.end());
    for (const auto& other : others)
        row.earlierAttempts << other.second;
    return row;
}

// A text fit for a certificate number: letters, digits, '.' and '-' stand, anything else
// becomes '_' (runs of it one).
QString numberPart(const QString& text) {
    QString part = text.trimmed();
    part.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9.\\-]+")), QStringLiteral("_"));
    return part;
}

} // namespace

std::optional<double> CertificateTest::largestUncertaintyPercent() const {
    std::optional<double> largest;
    for (const CertificatePoint& point : points) {
        bool ok = false;
        const double u = point.uncertaintyPercent.toDouble(&ok);
        if (ok && (!largest || u > *largest))
            largest = u;
    }
    return largest;
}

std::optional<double> CertificateTest::testUncertaintyRatio() const {
    bool ok = false;
    const double tolerance = tolerancePercent.toDouble(&ok);
    const std::optional<double> u = largestUncertaintyPercent();
    if (!ok || !u || *u <= 0)
        return std::nullopt;
    return tolerance / *u;
}

bool CertificateRow::chained() const {
    return (!asFound || asFound->chained) && (!accept || accept->chained) &&
           (!asLeft || asLeft->chained);
}

QString CertificateRow::status() const {
    if (!calibrated())
        return QStringLiteral("not calibrated");
    if (asLeft)
        return asLeft->verdict;
    if (accept)
        return QStringLiteral("adjusted, not verified");
    return asFound->verdict == QLatin1String("not applicable")
               ? QStringLiteral("not calibrated: as-found not applicable, not adjusted")
               : asFound->verdict + QStringLiteral(" as found, not adjusted");
}

QString Certificate::number(const QDate& issued) const {
    const QString item =
        controllerTag.isEmpty()
            ? numberPart(QStringList{displayMicroDate, displayMicroInfo, terminalMicroDate}.join(
                  QLatin1Char('_')))
            : numberPart(controllerTag);
    return QStringLiteral("%1-%2-%3")
        .arg(item, issued.toString(QStringLiteral("yyyyMMdd")),
             QString::fromLatin1(lastChain.left(8)));
}

QString Certificate::controllerText() const {
    const QString identity =
        QStringLiteral("%1 / %2 / %3").arg(displayMicroDate, displayMicroInfo, terminalMicroDate);
    return controllerTag.isEmpty()
               ? identity
               : QStringLiteral("%1 (identity %2)").arg(controllerTag, identity);
}

QString brokenLinesText(const std::vector<int>& fileLines) {
    QStringList numbers;
    for (const int line : fileLines)
        numbers << QString::number(line);
    if (numbers.isEmpty())
        return {};
    return (numbers.size() == 1 ? QStringLiteral("line ") : QStringLiteral("lines ")) +
           numbers.join(QStringLiteral(", "));
}

QString brokenPlacesText(const std::vector<int>& fileLines, const std::vector<int>& pendingLines) {
    QStringList places;
    if (!fileLines.empty())
        places << brokenLinesText(fileLines) + QStringLiteral(" of the log");
    if (!pendingLines.empty())
        places << brokenLinesText(pendingLines) + QStringLiteral(" of the pending file");
    return places.join(QStringLiteral(" and "));
}

std::optional<Certificate> certificateFromLog(const CalibrationLogReading& log,
                                              const QString& logPath, QString& error) {
    if (!log.error.isEmpty()) {
        error = log.error;
        return std::nullopt;
    }
    const Cells cell(log);
    const QString acceptName = logRecordName(LogRecord::Accept);
    const QString pointName = logRecordName(LogRecord::Point);
    const QString verdictName = logRecordName(LogRecord::Verdict);
    const QString certificateName = logRecordName(LogRecord::Certificate);
    const QString jobName = logRecordName(LogRecord::Job);
    const QStringList unconfirmed{kIdentityUnconfirmed, kIdentityUnconfirmed, kIdentityUnconfirmed};

    // Lines with every column that name a controller. A line written while the controller's
    // identity was unconfirmed names none, so it is on no certificate.
    const auto namesController = [&](const LogLine& line) {
        const QStringList identity = cell.identity(line);
        return line.cells.size() == log.columns.size() && identity != unconfirmed &&
               !identity.join(QString()).isEmpty();
    };
    const auto calibrationLine = [&](const LogLine& line) {
        const QString record = cell.record(line);
        return record == acceptName || record == pointName || record == verdictName;
    };
    std::vector<const LogLine*> named;
    for (const LogLine& line : log.lines)
        if (namesController(line))
            named.push_back(&line);
    const auto lastCalibration = std::find_if(
        named.rbegin(), named.rend(), [&](const LogLine* l) { return calibrationLine(*l); });
    if (lastCalibration == named.rend()) {
        error = QStringLiteral("%1 holds no calibration yet").arg(logPath);
        return std::nullopt;
    }

    // The controller of the last calibration line, and the lines at the end of the log that
    // name it. The identity block names the controller's firmware, which two controllers may
    // share, so an earlier stretch of the log for the same identity is not taken as the same
    // controller: a certificate names no line of another controller.
    const QStringList controller = cell.identity(**lastCalibration);
    auto first = named.end();
    while (first != named.begin() && cell.identity(**std::prev(first)) == controller)
        --first;
    const std::vector<const LogLine*> used(first, named.end());

    Certificate certificate;
    certificate.displayMicroDate = controller[0];
    certificate.displayMicroInfo = controller[1];
    certificate.terminalMicroDate = controller[2];
    certificate.logPath = logPath;
    certificate.columns = log.columns;
    certificate.pendingPath = log.pendingPath;
    certificate.brokenFileLines = log.brokenFileLines();
    certificate.brokenPendingLines = log.brokenPendingLines();
    certificate.coveredLines = int(log.lines.size());
    if (!log.lines.empty() && !log.lines.back().cells.isEmpty())
        certificate.lastChain = log.lines.back().cells.back().toLatin1();

    // The whole log in order: the job settings as its job records leave them (each test takes
    // the reference as it stood when the test began), and the lines dated before the line
    // before them.
    std::map<const LogLine*, ReferenceInstrument> referenceAt;
    QDateTime previousTime;
    QString previousText;
    for (const LogLine& line : log.lines) {
        if (cell.record(line) == jobName)
            applyJobSetting(certificate.settings, cell(line, "setting"), cell(line, "value_after"));
        referenceAt[&line] = certificate.settings.reference;
        const QString text = cell(line, "date_time");
        const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
        if (time.isValid() && previousTime.isValid() && time < previousTime)
            certificate.timeOrderBreaks.push_back(
                {line.pending
                     ? QStringLiteral("line %1 of the pending file").arg(line.firstFileLine)
                     : QStringLiteral("line %1").arg(line.firstFileLine),
                 text, previousText});
        if (time.isValid()) {
            previousTime = time;
            previousText = text;
        }
    }

    std::map<QString, ChannelEvents> channels;
    std::map<QString, size_t> testIndex; // test key -> index in its channel's tests
    for (const LogLine* line : used) {
        int& firstLine = line->pending ? certificate.firstPendingLine : certificate.firstFileLine;
        (line->pending ? certificate.lastPendingLine : certificate.lastFileLine) =
            line->lastFileLine;
        if (firstLine == 0)
            firstLine = line->firstFileLine;
        const QString record = cell.record(*line);
        if (!cell(*line, "controller_tag").isEmpty())
            certificate.controllerTag = cell(*line, "controller_tag");
        if (record == certificateName) {
            certificate.replaces = cell(*line, "certificate_number");
            continue;
        }
        if (!calibrationLine(*line))
            continue;
        addOnce(certificate.ports, cell(*line, "port"));
        addOnce(certificate.devices, cell(*line, "device"));
        addOnce(certificate.technicians, cell(*line, "user"));
        const QString date = cell(*line, "date_time").left(10);
        if (certificate.firstDate.isEmpty())
            certificate.firstDate = date;
        certificate.lastDate = date;
        const QString channel = cell(*line, "channel");
        ChannelEvents& events = channels[channel];
        if (record == acceptName) {
            events.accepts.push_back(line);
            continue;
        }
        const QString key = testKey(cell, *line);
        auto found = testIndex.find(key);
        if (found == testIndex.end()) {
            CertificateTest test;
            test.phase = cell(*line, "phase");
            test.started = cell(*line, "test_started");
            test.mode = cell(*line, "mode");
            test.tolerancePercent = cell(*line, "tolerance_percent");
            test.reason = cell(*line, "reason");
            test.technician = cell(*line, "user");
            test.verdict = phaseVerdictName(PhaseVerdict::Incomplete);
            test.reference = referenceAt[line];
            test.reference.serial = cell(*line, "reference_serial");
            test.reference.certificate = cell(*line, "reference_certificate");
            test.referenceUncertainty = cell(*line, "reference_uncertainty");
            events.tests.push_back(test);
            found = testIndex.emplace(key, events.tests.size() - 1).first;
        }
        CertificateTest& test = events.tests[found->second];
        addLineTo(test, *line);
        if (record == verdictName) {
            test.verdict = cell(*line, "verdict");
            test.decisionRule = cell(*line, "decision_rule");
            if (!cell(*line, "reason").isEmpty())
                test.reason = cell(*line, "reason");
            continue;
        }
        CertificatePoint point;
        point.percent = cell(*line, "point");
        point.nominal = cell(*line, "nominal");
        point.applied = cell(*line, "applied");
        point.expected = cell(*line, "expected");
        point.reading = cell(*line, "reading");
        point.error = cell(*line, "error");
        point.errorPercent = cell(*line, "error_percent");
        point.uncertainty = cell(*line, "uncertainty");
        point.uncertaintyPercent = cell(*line, "uncertainty_percent");
        point.verdict = cell(*line, "verdict");
        point.descending = !test.points.empty() &&
                           point.percent.toDouble() < test.points.back().percent.toDouble();
        test.points.push_back(point);
    }
    // A test's lines may be split by another channel's; the order of its points is the log's.
    for (auto& [channel, events] : channels)
        std::stable_sort(events.tests.begin(), events.tests.end(),
                         [](const CertificateTest& a, const CertificateTest& b) {
                             return orderOf(a) < orderOf(b);
                         });

    for (const ChannelInfo& channel : channelTable()) {
        const QString name = channel.listText.toString();
        const auto found = channels.find(name);
        CertificateRow row =
            found == channels.end() ? CertificateRow{} : rowOf(name, found->second);
        row.channel = name;
        // The sensor type and unit as the channel's last line names them.
        for (auto line = used.rbegin(); line != used.rend(); ++line)
            if (cell(**line, "channel") == name && calibrationLine(**line)) {
                row.sensorType = cell(**line, "sensor_type");
                row.unit = cell(**line, "unit");
                break;
            }
        certificate.rows.push_back(row);
    }
    return certificate;
}

CalibrationLogEntry certificateIssueEntry(const Certificate& certificate, const QDate& issued,
                                          const QString& user) {
    CalibrationLogEntry entry;
    entry.record = LogRecord::Certificate;
    entry.time = QDateTime::currentDateTime();
    entry.user = user;
    entry.displayMicroDate = certificate.displayMicroDate;
    entry.displayMicroInfo = certificate.displayMicroInfo;
    entry.terminalMicroDate = certificate.terminalMicroDate;
    entry.controllerTag = certificate.controllerTag;
    entry.certificateNumber = certificate.number(issued);
    entry.coveredLines = QString::number(certificate.coveredLines);
    entry.coveredChain = QString::fromLatin1(certificate.lastChain);
    entry.replaces = certificate.replaces;
    return entry;
}

} // namespace records
