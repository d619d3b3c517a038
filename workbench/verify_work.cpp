// The Job dialog and the Verify window, opened from the workbench: the job details, the
// reference a test may use, and a test of the channel on display as a work on the controller.
#include "workbench/frm_calibrate_sensor.h"

#include "platform/widgets/message_box.h"
#include "records/calibration_log_reader.h"
#include "records/channel_table.h"
#include "records/job_in_log.h"
#include "records/report_file.h"
#include "shell/module1.h"
#include "workbench/calibration_log_entry.h"
#include "workbench/controller_identity.h"
#include "workbench/job_dialog.h"
#include "workbench/verify_window.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

namespace workbench {

namespace {

// %1 why (the field and what is wrong with it).
const QString kReferenceRefusedText =
    QStringLiteral("No test can be made with this reference: %1\r\nGive a valid reference with "
                   "Job... first.");
// %1 the settings file's full name, %2 why it cannot be read.
const QString kSettingsUnreadableText =
    QStringLiteral("The job settings in %1 cannot be read: %2\r\nNo test can be made until "
                   "they can; nothing else is affected.");

// The key the controller's tag is remembered by: the identity it has said; empty while it is
// unconfirmed.
QString identityKey() {
    const ControllerIdentity& identity = ControllerIdentity::instance();
    return identity.unconfirmed() ? QString() : identity.text();
}

} // namespace

// What a test asks of the workbench: the live readout's readings, through the same work on
// the controller, and log lines that name who tested which controller, where.
class frmCalibrateSensor::TestServices final : public VerifyServices {
  public:
    explicit TestServices(frmCalibrateSensor& form)
        : m_form(form), m_identity(identityKey()),
          m_changes(ControllerIdentity::instance().changeCount()) {}

    std::optional<QString> takeLiveReading() override {
        const std::optional<QString> reading = m_form.ReadAnalogValues();
        // A test is of one controller: once another answers, or the one answering has not said
        // who it is, no reading counts.
        if (ControllerIdentity::instance().changeCount() != m_changes) {
            m_form.NoticeAnotherController();
            return std::nullopt;
        }
        if (identityKey() != m_identity)
            return std::nullopt;
        return reading;
    }

    records::LogOutcome record(records::CalibrationLogEntry entry) override {
        noteWhoAndWhere(entry);
        entry.controllerTag = m_form.m_jobStore.settings().tagFor(m_identity);
        return records::appendCalibrationLog(entry, records::LogFailureBox::Shown,
                                             &m_form.m_logSession);
    }

  private:
    frmCalibrateSensor& m_form;
    const QString m_identity;
    const int m_changes;
};

bool frmCalibrateSensor::JobSettingsRead() {
    if (m_jobRead)
        return true;
    const QString path = QFileInfo(records::reportFilePath())
                             .dir()
                             .filePath(QLatin1String(records::kJobSettingsFileName));
    const QString error = m_jobStore.load(path);
    if (!error.isEmpty()) {
        platform::MsgBox(kSettingsUnreadableText.arg(QDir::toNativeSeparators(path), error),
                         platform::vbOKOnly, QStringLiteral("Job"));
        return false;
    }
    m_jobRead = true;
    return true;
}

void frmCalibrateSensor::cmdJob_Click() {
    if (deferIfBusy(Request::Job))
        return;
    if (!JobSettingsRead())
        return;
    m_jobShown = true;
    JobDialog dialog(m_jobStore, identityKey(), ControllerIdentity::instance().text(), this);
    dialog.exec();
}

std::optional<TestReference> frmCalibrateSensor::ReferenceForTest() {
    if (!JobSettingsRead())
        return std::nullopt;
    // The first test of a session shows the job details first, whatever they hold, so that
    // the technician sees which reference the points will name.
    if (!m_jobShown) {
        m_jobShown = true;
        JobDialog dialog(m_jobStore, identityKey(), ControllerIdentity::instance().text(), this);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
    }
    const records::ReferenceInstrument& reference = m_jobStore.settings().reference;
    if (const std::optional<QString> refusal =
            records::referenceRefusal(reference, QDate::currentDate())) {
        platform::MsgBox(kReferenceRefusedText.arg(*refusal), platform::vbOKOnly,
                         QStringLiteral("Verify"));
        return std::nullopt;
    }
    return TestReference{reference.serial, reference.certificate,
                         reference.uncertainty().value_or(0)};
}

void frmCalibrateSensor::cmdVerify_Click() {
    if (deferIfBusy(Request::Verify))
        return;
    const records::ChannelInfo* channel =
        Module1::vChannelIndex ? records::channelByIndex(*Module1::vChannelIndex) : nullptr;
    if (channel == nullptr)
        return; // no channel loaded yet: nothing to test
    const std::optional<TestReference> reference = ReferenceForTest();
    if (!reference)
        return;
    RecordJobSettingsInForce();
    const AcceptSnapshot shown = TakeAcceptSnapshot();
    const VerifyChannel tested{channel->listText.toString(),
                               shown.sensorType,
                               shown.unit,
                               shown.loVolts,
                               shown.hiVolts,
                               shown.rangeLo,
                               shown.rangeHi};
    const ControllerWork work(*this, ControllerWork::Kind::Verify, cmdVerify);
    TestServices services(*this);
    VerifyWindow window(tested, *reference, m_verification, services, VerifyTiming{}, this);
    window.exec();
}

void frmCalibrateSensor::RecordJobChanges(const std::vector<records::JobChange>& changes) {
    for (const records::JobChange& change : changes) {
        records::CalibrationLogEntry entry;
        entry.record = records::LogRecord::Job;
        entry.time = QDateTime::currentDateTime();
        noteWhoAndWhere(entry);
        entry.controllerTag = m_jobStore.settings().tagFor(identityKey());
        entry.setting = change.key;
        entry.valueBefore = change.before;
        entry.valueAfter = change.after;
        records::appendCalibrationLog(entry, records::LogFailureBox::Shown, &m_logSession);
    }
}

void frmCalibrateSensor::RecordJobSettingsInForce() {
    const records::CalibrationLogReading log =
        records::readCalibrationLogWithPending(records::calibrationLogPath());
    RecordJobChanges(records::jobSettingsNotInLog(log, m_jobStore.settings(), identityKey()));
}

QString frmCalibrateSensor::CurrentControllerTag() const {
    return m_jobStore.settings().tagFor(identityKey());
}

} // namespace workbench
