// The calibration workbench window: one analog channel of the TQ-8400 at a time, its sensor
// type and unit as the controller holds them, the live reading, and the four setpoints the
// technician calibrates.
//
// Work on the controller. A channel load, an accept and a live reading share the one link and
// the program-wide state; each runs as one ControllerWork, and nothing else starts until it
// ends (the load and the accept take their own live reading inside them). Every handler that
// would start work, or must not run in the middle of it, first passes deferIfBusy(): a pick in
// the channel list, Next, Previous, the window coming back (a reload), Accept, Exit, the
// title-bar close, Info, Job, Verify, and the refresh tick. While work runs:
//   - a channel move (pick, Next, Previous, reload) is deferred, and replaces any move
//     deferred before it: the last one wins;
//   - Exit, the title-bar close, Info and Job are deferred;
//   - Accept and Verify are dropped during a load (the fields are about to be replaced),
//     deferred during other work;
//   - the refresh tick is dropped.
// What was deferred runs, in the order asked, once the work has ended. A load, an accept and a
// test in the Verify window hold the operator's input to the channel list and the four
// setpoint fields (no input, no focus) from start to end, so that what they show is what is
// sent, tested and recorded; a live reading holds nothing. A selection the program makes in the
// list itself loads nothing.
#pragma once

#include "records/calibration_log.h"
#include "records/job_store.h"
#include "records/report_file.h"
#include "workbench/verification_session.h"

#include <QDialog>
#include <QString>
#include <QtGlobal>

#include <deque>
#include <optional>
#include <utility>
#include <vector>

class QCloseEvent;
class QComboBox;
class QEvent;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace platform {
class MaskEdBox;
}

namespace records {
struct ChannelInfo;
}

namespace workbench {

struct TestReference;

// What an Accept works from, taken once when it starts: the channel on display, what is shown
// for it, and the four setpoint texts as the fields held them. The calibration command, the
// report record, the row it goes to and the log's line all come from it, so nothing the
// operator does meanwhile can change them.
struct AcceptSnapshot {
    // The channel on display (the one last loaded); nullptr when none has been loaded yet.
    const records::ChannelInfo* channel = nullptr;
    QString loVolts;
    QString hiVolts;
    QString rangeLo;
    QString rangeHi;
    // The sensor type and unit shown for the channel, and the Current Data text on display.
    QString sensorType;
    QString unit;
    QString reading;
};

// What became of an Accept's record in the report file.
struct ReportUpdate {
    // The record's outcome; none when no channel had been loaded, and nothing was recorded.
    std::optional<records::RecordResult> record;
    // False when the file could not be opened even after making it: the workbench is closed.
    bool workbenchStaysOpen = true;
};

class frmCalibrateSensor : public QDialog {
    Q_OBJECT

  public:
    // --- Building the window (frm_calibrate_sensor.cpp) ---

    // Builds the controls and runs Form_Load.
    explicit frmCalibrateSensor(QWidget* parent = nullptr);

    // Centres the form, starts Timer1, fills the channel list and selects channel 30 without
    // loading it, and disables the sensor type and unit fields.
    void Form_Load();

    // --- The sensor catalogue (catalogue.cpp) ---

    // Turns the setup code of the channel on display (`Module1::vChannelIndex`,
    // `Module1::sChannelSetup`) into the sensor type and unit texts, the default range values
    // and voltages, and the state of the two voltage fields; then repaints the form. Leaves the
    // four setpoint texts alone.
    void GetSensorData();

    // --- Channel load (channel_load.cpp) ---

    // Loads and shows the channel the list shows: setup word, sensor type and unit, the
    // setpoint defaults, one live reading.
    void LoadChannel();

    // --- Live analog readout (live_readout.cpp) ---

    // One refresh of the live reading; dropped while other work runs.
    void Timer1_Timer();

    // --- Setpoint entry and validation (setpoint_entry.cpp) ---

    // Each gets the event's cancel flag and leaves it false: a wrong entry is replaced and
    // the operator told, never held.
    void medSensorHiVolts_Validate(bool& Cancel);
    void medSensorLoVolts_Validate(bool& Cancel);
    void medSensorRangeHi_Validate(bool& Cancel);
    void medSensorRangeLo_Validate(bool& Cancel);

    // --- Calibration write (calibration_write.cpp) ---

    void cmdAccept_Click();
    // The channel on display, what is shown for it, and the four setpoint texts as they stand
    // now.
    AcceptSnapshot TakeAcceptSnapshot() const;
    // --- The report file's record (report_file.cpp) ---

    // Records the accepted setpoints in the accepted channel's row of the report file and
    // says what became of the record, and whether the workbench stays open (it is closed when
    // the file could not be opened even after making it). `controllerWritten` tells whether the
    // three write commands went through, so that a box about the record says truly what became
    // of the controller.
    ReportUpdate UpdateReportFile(const AcceptSnapshot& accepted, bool controllerWritten = true);

    // --- Job details and tests against a reference (verify_work.cpp) ---

    // The Job dialog: the job, the reference instrument and this controller's tag.
    void cmdJob_Click();
    // A test of the channel on display in the Verify window, as a work on the controller.
    void cmdVerify_Click();
    // The job details and reference the tests use, read from the settings file beside the
    // report file when the workbench is built.
    records::JobStore& jobStore() { return m_jobStore; }

    // --- Work on the controller (controller_work.cpp) ---

    // True while a channel load, an accept or a live reading runs. They share the one link
    // and the program-wide state, so nothing else may start until they end.
    bool isBusy() const { return m_busyDepth > 0; }

    // --- What the last channel load left (catalogue.cpp, channel_load.cpp) ---

    // What the sensor type of the channel on display sets as defaults: the low range value
    // (0, 5, -15 or -40) and the low and high sensor voltages.
    struct SensorDefaults {
        double rangeLo = 0.0;
        double loVolts = 0.0;
        double hiVolts = 0.0;
    };
    const SensorDefaults& sensorDefaults() const { return m_defaults; }
    // The controller table address the last channel load read the setup word from.
    qint32 lastAddress() const { return oAddress; }

  protected:
    // Swallows the operator's input (controller_work.cpp) to the channel list and the setpoint
    // fields while a load or an accept runs.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Esc presses the Exit button instead of closing the window (frm_calibrate_sensor.cpp).
    void keyPressEvent(QKeyEvent* event) override;
    // Closing from the title bar ends the workbench without a question (exit.cpp).
    void closeEvent(QCloseEvent* event) override;
    // However the workbench ends, Accepts kept pending join the calibration log if it can be
    // written now.
    void done(int result) override;

  private:
    // --- Work on the controller (controller_work.cpp) ---

    // What the operator (or the window) can ask for while other work runs. Each has one line
    // in deferRule(), which says what becomes of it then (it waits, or is dropped) and how it is
    // run afterwards.
    enum class Request {
        Reload,
        StepNext,
        StepPrev,
        Accept,
        Exit,
        CloseNow,
        About,
        Job,
        Verify,
        LiveReading,
    };
    enum class WhenBusy {
        // Runs once the work has ended.
        Waits,
        // A channel move: runs once the work has ended, replacing any move asked for before it
        // (the last pick wins).
        WaitsAsLastMove,
        // Dropped while a channel load runs (the fields are about to be replaced); deferred
        // while any other work runs.
        DroppedDuringLoad,
        // Dropped: the next one comes by itself.
        Dropped,
    };
    struct DeferRule {
        WhenBusy whenBusy;
        // Runs it once the work has ended; nullptr for what is only ever dropped.
        void (*run)(frmCalibrateSensor&);
    };
    static DeferRule deferRule(Request action);
    // The gate at the start of every entry point: true when other work runs, and `action` has
    // been deferred or dropped as its rule says; false when the caller may go ahead.
    bool deferIfBusy(Request action);
    void defer(Request action);
    void runDeferredWork();

    // One piece of work on the controller, for the life of the object. It marks the workbench
    // busy and stops Timer1; a load, an accept or a test also holds the operator's input to the
    // channel list and the setpoint fields and turns off the stepping buttons; a load and an
    // accept show the hourglass (a test has a window of its own), an accept turns off its own
    // button and a test Accept and Verify. When the work ends, in this order: the input
    // held comes back (once the last work holding it ends), the buttons and the cursor come
    // back, Timer1 restarts (once the outermost work ends), `focusWhenDone` takes the focus,
    // and whatever was deferred meanwhile runs. Timer1 and the focus stay as they are once
    // the workbench is closing.
    class ControllerWork {
      public:
        enum class Kind { Load, Accept, Verify, LiveReading };
        ControllerWork(frmCalibrateSensor& form, Kind kind, QWidget* focusWhenDone = nullptr);
        ~ControllerWork();
        ControllerWork(const ControllerWork&) = delete;
        ControllerWork& operator=(const ControllerWork&) = delete;

      private:
        // The buttons this work turns off while it runs, and turns on again when it ends.
        std::vector<QWidget*> buttonsTurnedOff() const;

        frmCalibrateSensor& m_form;
        const Kind m_kind;
        QWidget* const m_focusWhenDone;
    };

    // While it lives, a selection the program makes in the channel list loads nothing.
    class ProgramSetsChannel {
      public:
        explicit ProgramSetsChannel(frmCalibrateSensor& form);
        ~ProgramSetsChannel();
        ProgramSetsChannel(const ProgramSetsChannel&) = delete;
        ProgramSetsChannel& operator=(const ProgramSetsChannel&) = delete;

      private:
        frmCalibrateSensor& m_form;
        const bool m_before;
    };

    // True while a channel load or an accept runs: the channel list and the four setpoint
    // fields then take no input at all.
    bool isInputHeld() const { return m_inputHeld > 0; }
    // The controls a load or an accept keeps the operator's input from.
    std::vector<QWidget*> heldControls() const;
    void watchHeldControls();
    // Starts and ends a stretch in which the held controls take no input and no focus;
    // nested stretches count. Ending the outermost first delivers (and so discards) whatever
    // input the waits held back, so nothing typed meanwhile lands in a field afterwards.
    void holdInput();
    void releaseInput();

    // --- Building the window (frm_calibrate_sensor.cpp; the setpoint fields' handlers are
    // connected in setpoint_entry.cpp) ---

    void createControls();
    void layOutControls();
    void setUpTabOrder();
    void connectHandlers();
    void connectSetpointFields();

    // --- Controller table read and channel load (table_read.cpp, channel_load.cpp) ---

    // Reads the controller table lines `oAddress` and `oAddress` + 1 and returns both replies
    // whole; one communications error box when either read failed. True when the first line
    // was read and carries a setup word.
    bool SendData(const qint32& oAddress, QByteArray& sLineNo, QByteArray& sLineNo2);
    // Reads the setup word of the channel the list shows and stores its setup code.
    void GetSensorValue();

    // --- Live analog readout (live_readout.cpp) ---

    // Takes and shows one live reading of the channel on display; the text shown, or nothing
    // when no channel is loaded or the controller did not answer.
    std::optional<QString> ReadAnalogValues();

    // --- Channel navigation (navigation.cpp) ---

    void Form_Activate();
    void cboChannelNumber_Click();
    void cmdNextChannel_Click();
    void cmdPrevChannel_Click();
    void stepChannel(int direction);

    // --- Setpoint entry and validation (setpoint_entry.cpp) ---

    void onFocusChanged(QWidget* old, QWidget* now);
    void medSensorHiVolts_GotFocus();
    void medSensorLoVolts_GotFocus();
    void medSensorRangeHi_GotFocus();
    void medSensorRangeLo_GotFocus();

    // --- Calibration write, exit, about box (setpoint_entry.cpp, exit.cpp, about_box.cpp) ---

    // Refuses an Accept whose low voltage is above its high voltage, or whose low range value
    // is above its high one: the high field's own message, the focus in that field. True when
    // refused; nothing is then sent or recorded.
    bool RefuseInvertedPair(const AcceptSnapshot& accepted);
    void cmdCancel_Click();
    void cmdAbout_Click();

    // --- Another controller behind the same port (controller_identity.cpp) ---

    // Tells the operator once, in a box, when another controller was found answering (the
    // identity before and now, and that the report file may hold rows of the previous one);
    // `acceptStopped` adds that the Accept pressed has sent nothing. True when the channel on
    // display was loaded from another controller than the one now answering: it is then read
    // again once the work under way has ended.
    bool NoticeAnotherController(bool acceptStopped = false);

    // --- Controls, each named as the window's controls have always been named ---

    QFrame* Frame3 = nullptr;
    QFrame* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QFrame* Line1 = nullptr;

    QLabel* lblChannelNumber = nullptr;
    QLabel* lblSensor = nullptr;
    QLabel* lblUnits = nullptr;
    QLabel* lblCurrentData = nullptr;
    QLabel* lblSensorRange = nullptr;
    QLabel* lblSensorVoltage = nullptr;
    QLabel* lblLow = nullptr;
    QLabel* lblHigh = nullptr;

    // Drop-down list of the fourteen channel numbers.
    QComboBox* cboChannelNumber = nullptr;
    // Read-only texts: sensor type, unit and the live reading.
    QLineEdit* cboSensor = nullptr;
    QLineEdit* cboRange = nullptr;
    QLineEdit* cboAnalogData = nullptr;

    platform::MaskEdBox* medSensorRangeLo = nullptr;
    platform::MaskEdBox* medSensorRangeHi = nullptr;
    platform::MaskEdBox* medSensorLoVolts = nullptr;
    platform::MaskEdBox* medSensorHiVolts = nullptr;

    QPushButton* cmdAccept = nullptr;
    QPushButton* cmdPrevChannel = nullptr;
    QPushButton* cmdNextChannel = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdAbout = nullptr;
    QPushButton* cmdJob = nullptr;
    QPushButton* cmdVerify = nullptr;

    // Refresh timer of the live reading, 1000 ms.
    QTimer* Timer1 = nullptr;

    // --- Working state ---

    // Defaults of the sensor type on display, rebuilt by every channel load.
    SensorDefaults m_defaults;
    // Setup-word address of the channel on display (112 to 125), set by each channel load.
    qint32 oAddress = 0;
    // Set while the program itself sets the channel list's selection, so that the selection
    // it raises does not load the channel a second time (ProgramSetsChannel).
    bool iChannelButton = false;

    // Works on the controller running now (nested ones count), and those of them that are
    // channel loads.
    int m_busyDepth = 0;
    int m_loadDepth = 0;
    int m_inputHeld = 0;
    std::vector<std::pair<QWidget*, Qt::FocusPolicy>> m_heldFocusPolicies;
    // What the operator asked for while other work ran, and waits; it runs, in order, once
    // that has ended.
    std::deque<Request> m_waiting;
    // The setpoint field the operator is working in (validated when the focus leaves it).
    QWidget* m_fieldBeingEdited = nullptr;
    bool m_unloading = false;
    // Another controller has answered since the channel on display was loaded.
    bool m_loadedFromReplacedController = false;
    // What the session keeps of the calibration log: one workbench is one session, and each
    // box about the log is shown once in it.
    records::CalibrationLogSession m_logSession;
    // The session's Accepts and frozen characteristics, for the Verify window's phases.
    VerificationSession m_verification;
    records::JobStore m_jobStore;
    // Whether the Job dialog has been shown in this session; the first test opens it.
    bool m_jobShown = false;

    // --- Job details and tests (verify_work.cpp) ---

    class TestServices;
    // The tag given for the controller now answering; empty when none is, or it has not said
    // who it is.
    QString CurrentControllerTag() const;
    // Reads the job settings file on first use; false, after a box that says why, when it
    // cannot be read.
    bool JobSettingsRead();
    bool m_jobRead = false;
    // Adds a line for each changed job setting to the log.
    void RecordJobChanges(const std::vector<records::JobChange>& changes);
    // Before a test: adds a line for each job or reference setting, and this controller's tag,
    // that the log does not tell yet (a settings file handed over, or edited outside the tool),
    // so that the log says what every test was made with.
    void RecordJobSettingsInForce();
    // The reference a test may use, or nothing after a box that says why not.
    std::optional<TestReference> ReferenceForTest();
};

} // namespace workbench
