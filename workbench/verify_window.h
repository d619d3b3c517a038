// The Verify window: a test of the channel on display against a reference. The technician
// applies a value with the reference at each point of the span (0, 25, 50, 75, 100 %, and back
// down for hysteresis), types the value the reference shows, and presses Enter; the window
// waits for a stable live reading, judges the point and records it in the calibration log at
// once, so that nothing recorded is lost if the window or the program ends half-way. After the
// last point the test's verdict is shown and recorded.
//
// Phases. As-Found before any Accept of the channel in this session, As-Left after one; the
// technician may pick As-Found again, giving a reason. "Initial calibration" records the
// as-found test as not applicable, with its reason, for a channel calibrated for the first
// time. The characteristic a test is judged against is frozen for the channel at its as-found
// test; an as-left test is judged against it, whatever setpoints an Accept wrote since.
#pragma once

#include "records/calibration_log.h"
#include "records/point_result.h"
#include "records/stability_watch.h"
#include "records/verification.h"
#include "workbench/verification_session.h"

#include <QDateTime>
#include <QDialog>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace workbench {

class ErrorPlotView;

// The channel on display as the workbench shows it when the window opens.
struct VerifyChannel {
    QString channel; // "30"
    QString sensorType;
    QString unit;
    // The four setpoint fields' texts.
    QString loVolts;
    QString hiVolts;
    QString rangeLo;
    QString rangeHi;
};

// The reference instrument the test's points are applied with.
struct TestReference {
    QString serial;
    QString certificate;
    double uncertaintyVolts = 0; // expanded (k = 2)
};

// What the window asks of the workbench: live readings of the channel, and lines in the log.
class VerifyServices {
  public:
    virtual ~VerifyServices() = default;
    // One live reading of the channel, as the workbench's live readout takes it: the text as
    // shown, or nothing when the controller did not answer.
    virtual std::optional<QString> takeLiveReading() = 0;
    // Adds the line to the log, filling in who, where and which controller.
    virtual records::LogOutcome record(records::CalibrationLogEntry entry) = 0;
};

// How often the window takes a live reading, and the clock the wait for a stable reading is
// timed by (milliseconds, any origin). Tests give a shorter interval and a clock of their own.
struct VerifyTiming {
    int readingIntervalMs = 1000; // the workbench's own refresh
    std::function<qint64()> clockMs;
};

class VerifyWindow : public QDialog {
    Q_OBJECT

  public:
    enum class Phase { AsFound, AsLeft, InitialNotApplicable };

    VerifyWindow(const VerifyChannel& channel, const TestReference& reference,
                 VerificationSession& session, VerifyServices& services,
                 const VerifyTiming& timing = {}, QWidget* parent = nullptr);
    ~VerifyWindow() override;

    Phase phase() const;
    // The points recorded in this test so far.
    const std::vector<records::PointResult>& recorded() const { return recorded_; }
    records::PhaseVerdict verdict() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

  private:
    void createControls();
    void layOutControls();
    void connectControls();

    // The phase, mode, points and tolerance chosen: the setup and the point rows are built
    // again from them until the first point is recorded.
    void setupChanged();
    void buildPointRows();
    void showCharacteristic();
    // The setup as the controls give it, or why it cannot be tested.
    std::optional<records::VerificationSetup> currentSetup(QString& why) const;
    bool needsReason() const;
    void lockSetup();

    // Enter in the current point's applied field: check it and wait for a stable reading.
    void recordRequested();
    void takeReading();
    void stopWaiting(const QString& stabilityText);
    void recordPoint(const std::vector<double>& readings, bool stable);
    void finishTest();
    void recordNotApplicable();
    void recordIncompleteIfHalfWay();
    void showLiveReading(const QString& text);
    void message(const QString& text) const;

    // The log line of this test, with its common fields.
    records::CalibrationLogEntry testEntry(records::LogRecord record) const;

    const VerifyChannel channel_;
    const TestReference reference_;
    VerificationSession& session_;
    VerifyServices& services_;
    const bool adjustedThisSession_;

    // The characteristic in force: frozen for the channel, or the fields' texts.
    FrozenCharacteristic characteristic_;
    bool characteristicFrozenBefore_ = false;

    QComboBox* cboPhase = nullptr;
    QLineEdit* txtReason = nullptr;
    QComboBox* cboMode = nullptr;
    QCheckBox* chkUpAndDown = nullptr;
    QLineEdit* txtTolerance = nullptr;
    QLineEdit* txtReferenceU = nullptr;
    QLabel* lblReferenceUUnit = nullptr;
    QLabel* lblCharacteristic = nullptr;
    QLabel* lblLiveReading = nullptr;
    QLineEdit* txtLiveReading = nullptr;
    QLabel* lblStability = nullptr;
    QGridLayout* pointGrid = nullptr;
    QWidget* pointArea = nullptr;
    ErrorPlotView* plotView = nullptr;
    QLabel* lblVerdict = nullptr;
    QPushButton* cmdRecordNotApplicable = nullptr;
    QPushButton* cmdClose = nullptr;
    QTimer* readingTimer = nullptr;

    struct PointRow {
        QLabel* point = nullptr;
        QLabel* nominal = nullptr;
        QLineEdit* applied = nullptr;
        QLabel* expected = nullptr;
        QLabel* reading = nullptr;
        QLabel* error = nullptr;
        QLabel* errorPercent = nullptr;
        QLabel* uncertainty = nullptr;
        QLabel* verdict = nullptr;
    };
    std::vector<PointRow> rows_;
    std::vector<records::TestPoint> points_;
    std::optional<records::VerificationSetup> setup_; // frozen once the first point is recorded
    std::vector<records::PointResult> recorded_;
    QDateTime started_;

    // The wait for a stable reading of the current point.
    bool waiting_ = false;
    double appliedWaitedFor_ = 0;
    int readingsWaited_ = 0;
    records::StabilityWatch watch_{0.1};
    std::function<qint64()> clockMs_;
    double displayStep_ = 0; // the finest resolution the readings showed; 0 before one
    bool readingUnderWay_ = false;
    bool enterPending_ = false; // Enter pressed while a reading was under way
    std::optional<int> closeAsked_;
    bool finished_ = false;
};

} // namespace workbench
