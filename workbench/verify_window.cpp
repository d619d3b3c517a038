#include "workbench/verify_window.h"

#include "codec/leading_value.h"
#include "platform/widgets/message_box.h"
#include "records/error_plot.h"
#include "records/figure_text.h"
#include "records/reading_value.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

namespace workbench {

using records::figureText;
using records::unitSuffix;

// The plot of the test's points, drawn as a certificate draws it.
class ErrorPlotView : public QWidget {
  public:
    explicit ErrorPlotView(QWidget* parent) : QWidget(parent) {
        setMinimumSize(360, 180);
        setObjectName(QStringLiteral("ErrorPlot"));
        setAccessibleName(QStringLiteral("Error plot"));
        setAccessibleDescription(QStringLiteral("ErrorPlot"));
    }
    void show(const records::ErrorPlot& plot) {
        plot_ = plot;
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        records::drawErrorPlot(painter, QRectF(rect()).adjusted(4, 4, -4, -4), plot_);
    }

  private:
    records::ErrorPlot plot_;
};

namespace {

const QString kAsFound = QStringLiteral("as-found");
const QString kAsLeft = QStringLiteral("as-left");

// A control's legacy-style name, as its object name and accessible description, and the
// name a screen reader speaks.
template <class T> T* named(T* widget, const char* objectName, const QString& spokenName) {
    widget->setObjectName(QLatin1String(objectName));
    widget->setAccessibleDescription(QLatin1String(objectName));
    widget->setAccessibleName(spokenName);
    return widget;
}

// A number typed by the technician: blanks around it allowed, nothing else.
std::optional<double> typedNumber(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

QString percentText(double percent) {
    return figureText(percent, 3) + QStringLiteral(" %");
}

} // namespace

VerifyWindow::VerifyWindow(const VerifyChannel& channel, const TestReference& reference,
                           VerificationSession& session, VerifyServices& services,
                           const VerifyTiming& timing, QWidget* parent)
    : QDialog(parent), channel_(channel), reference_(reference), session_(session),
      services_(services), adjustedThisSession_(session.latestAccept(channel.channel)),
      clockMs_(timing.clockMs) {
    if (!clockMs_) {
        auto clock = std::make_shared<QElapsedTimer>();
        clock->start();
        clockMs_ = [clock] { return clock->elapsed(); };
    }
    setObjectName(QStringLiteral("frmVerify"));
    setWindowTitle(QStringLiteral("Verify Channel %1").arg(channel.channel));
    started_ = QDateTime::currentDateTime();
    createControls();
    layOutControls();
    connectControls();
    setupChanged();
    readingTimer->start(timing.readingIntervalMs);
}

VerifyWindow::~VerifyWindow() = default;

void VerifyWindow::createControls() {
    cboPhase = named(new QComboBox(this), "cboPhase", QStringLiteral("Phase"));
    cboPhase->addItem(QStringLiteral("As-Found"));
    cboPhase->addItem(QStringLiteral("As-Left"));
    cboPhase->addItem(QStringLiteral("Initial calibration: as-found not applicable"));
    cboPhase->setCurrentIndex(adjustedThisSession_ ? 1 : 0);
    txtReason = named(new QLineEdit(this), "txtReason", QStringLiteral("Reason"));
    cboMode = named(new QComboBox(this), "cboMode", QStringLiteral("Mode"));
    cboMode->addItem(QStringLiteral("Voltage injection at the terminals (V)"));
    cboMode->addItem(QStringLiteral("Process value applied to the sensor (%1)")
                         .arg(channel_.unit.isEmpty() ? QStringLiteral("EU") : channel_.unit));
    chkUpAndDown = named(new QCheckBox(QStringLiteral("&Up and down"), this), "chkUpAndDown",
                         QStringLiteral("Up and down: also 75, 50, 25 and 0 % on the way down"));
    txtTolerance = named(new QLineEdit(this), "txtTolerance",
                         QStringLiteral("Tolerance, plus or minus percent of span"));
    txtReferenceU = named(new QLineEdit(this), "txtReferenceU",
                          QStringLiteral("Reference expanded uncertainty, k equals 2"));
    lblReferenceUUnit = new QLabel(this);
    lblCharacteristic = named(new QLabel(this), "lblCharacteristic",
                              QStringLiteral("Characteristic the test is judged against"));
    lblCharacteristic->setTextFormat(Qt::PlainText);
    lblLiveReading = new QLabel(QStringLiteral("Current Data:"), this);
    txtLiveReading = named(new QLineEdit(this), "txtLiveReading", QStringLiteral("Current Data"));
    txtLiveReading->setReadOnly(true);
    txtLiveReading->setFocusPolicy(Qt::NoFocus);
    lblStability = named(new QLabel(this), "lblStability", QStringLiteral("Reading stability"));
    lblStability->setTextFormat(Qt::PlainText);
    pointArea = new QWidget(this);
    pointGrid = new QGridLayout(pointArea);
    plotView = new ErrorPlotView(this);
    lblVerdict = named(new QLabel(this), "lblVerdict", QStringLiteral("Verdict"));
    lblVerdict->setTextFormat(Qt::PlainText);
    QFont bold = lblVerdict->font();
    bold.setBold(true);
    lblVerdict->setFont(bold);
    cmdRecordNotApplicable =
        named(new QPushButton(QStringLiteral("&Record as not applicable"), this),
              "cmdRecordNotApplicable", QStringLiteral("Record as-found as not applicable"));
    cmdClose =
        named(new QPushButton(QStringLiteral("&Close"), this), "cmdClose", QStringLiteral("Close"));
    readingTimer = new QTimer(this);
    readingTimer->setObjectName(QStringLiteral("tmrReading"));
}

void VerifyWindow::layOutControls() {
    auto* setup = new QGridLayout;
    const auto addRow = [&](int row, const QString& caption, QWidget* field,
                            QWidget* after = nullptr) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        setup->addWidget(label, row, 0);
        setup->addWidget(field, row, 1);
        if (after)
            setup->addWidget(after, row, 2);
    };
    addRow(0, QStringLiteral("&Phase:"), cboPhase);
    addRow(1, QStringLiteral("R&eason:"), txtReason);
    addRow(2, QStringLiteral("&Mode:"), cboMode, chkUpAndDown);
    addRow(3, QStringLiteral("&Tolerance (± % of span):"), txtTolerance);
    addRow(4, QStringLiteral("Reference &U (k = 2):"), txtReferenceU, lblReferenceUUnit);
    setup->addWidget(new QLabel(QStringLiteral("Judged against:"), this), 5, 0);
    setup->addWidget(lblCharacteristic, 5, 1, 1, 2);

    auto* live = new QHBoxLayout;
    live->addWidget(lblLiveReading);
    live->addWidget(txtLiveReading, 1);
    live->addWidget(lblStability, 2);

    auto* foot = new QHBoxLayout;
    foot->addWidget(lblVerdict, 1);
    foot->addWidget(cmdRecordNotApplicable);
    foot->addWidget(cmdClose);

    auto* form = new QVBoxLayout(this);
    form->addLayout(setup);
    form->addLayout(live);
    form->addWidget(pointArea);
    form->addWidget(plotView, 1);
    form->addLayout(foot);
}

void VerifyWindow::connectControls() {
    connect(cboPhase, &QComboBox::currentIndexChanged, this, [this] { setupChanged(); });
    connect(cboMode, &QComboBox::currentIndexChanged, this, [this] {
        txtTolerance->setText(figureText(records::defaultTolerancePercent(
            cboMode->currentIndex() == 0 ? records::InjectionMode::Volts
                                         : records::InjectionMode::EngineeringUnits)));
        setupChanged();
    });
    connect(chkUpAndDown, &QCheckBox::toggled, this, [this] { setupChanged(); });
    connect(txtReason, &QLineEdit::returnPressed, this, [this] {
        if (phase() == Phase::InitialNotApplicable)
            recordNotApplicable();
        else if (!rows_.empty() && recorded_.size() < rows_.size())
            rows_[recorded_.size()].applied->setFocus();
    });
    connect(cmdRecordNotApplicable, &QPushButton::clicked, this, [this] { recordNotApplicable(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    connect(readingTimer, &QTimer::timeout, this, [this] { takeReading(); });
    txtTolerance->setText(
        figureText(records::defaultTolerancePercent(records::InjectionMode::Volts)));
}

VerifyWindow::Phase VerifyWindow::phase() const {
    return static_cast<Phase>(cboPhase->currentIndex());
}

bool VerifyWindow::needsReason() const {
    return phase() == Phase::InitialNotApplicable ||
           (phase() == Phase::AsFound && adjustedThisSession_);
}

void VerifyWindow::setupChanged() {
    if (setup_)
        return; // frozen by the first recorded point
    const bool eu = cboMode->currentIndex() == 1;
    txtReferenceU->setReadOnly(!eu);
    if (!eu)
        txtReferenceU->setText(figureText(reference_.uncertaintyVolts));
    else if (txtReferenceU->text() == figureText(reference_.uncertaintyVolts))
        txtReferenceU->clear();
    lblReferenceUUnit->setText(eu ? channel_.unit : QStringLiteral("V (from the Job)"));
    txtReason->setEnabled(needsReason());
    txtReason->setPlaceholderText(needsReason() ? QStringLiteral("required") : QString());
    const bool notApplicable = phase() == Phase::InitialNotApplicable;
    cmdRecordNotApplicable->setVisible(notApplicable);
    pointArea->setEnabled(!notApplicable);
    showCharacteristic();
    buildPointRows();
    if (notApplicable)
        txtReason->setFocus();
    else if (needsReason() && txtReason->text().trimmed().isEmpty())
        txtReason->setFocus();
    else if (!rows_.empty())
        rows_.front().applied->setFocus();
}

void VerifyWindow::showCharacteristic() {
    const std::optional<FrozenCharacteristic> frozen = session_.frozen(channel_.channel);
    // An as-left test is judged against what the channel's as-found test was; every other
    // phase takes the setpoint fields as they stand.
    characteristicFrozenBefore_ = phase() == Phase::AsLeft && frozen.has_value();
    if (characteristicFrozenBefore_) {
        characteristic_ = *frozen;
    } else {
        characteristic_ = {channel_.loVolts, channel_.hiVolts, channel_.rangeLo, channel_.rangeHi,
                           QDateTime::currentDateTime()};
    }
    const QString unit = unitSuffix(channel_.unit);
    lblCharacteristic->setText(
        QStringLiteral("%1 V = %2%3 to %4 V = %5%3 (%6)")
            .arg(characteristic_.loVolts.trimmed(), characteristic_.rangeLo.trimmed(), unit,
                 characteristic_.hiVolts.trimmed(), characteristic_.rangeHi.trimmed(),
                 characteristicFrozenBefore_
                     ? QStringLiteral("frozen at the as-found test, ") +
                           characteristic_.frozenAt.toString(QStringLiteral("HH:mm:ss"))
                     : QStringLiteral("from the setpoint fields")));
}

std::optional<records::VerificationSetup> VerifyWindow::currentSetup(QString& why) const {
    records::VerificationSetup setup;
    setup.mode = cboMode->currentIndex() == 0 ? records::InjectionMode::Volts
                                              : records::InjectionMode::EngineeringUnits;
    setup.lowVolts = codec::LeadingValue(characteristic_.loVolts);
    setup.highVolts = codec::LeadingValue(characteristic_.hiVolts);
    setup.lowRange = codec::LeadingValue(characteristic_.rangeLo);
    setup.highRange = codec::LeadingValue(characteristic_.rangeHi);
    setup.unit = channel_.unit;
    setup.displayStep = displayStep_ > 0 ? displayStep_ : 0.1;
    const std::optional<double> tolerance = typedNumber(txtTolerance->text());
    if (!tolerance || *tolerance <= 0) {
        why = QStringLiteral("The tolerance \"%1\" is not a number above 0 (% of span).")
                  .arg(txtTolerance->text());
        return std::nullopt;
    }
    setup.tolerancePercent = *tolerance;
    if (setup.mode == records::InjectionMode::Volts) {
        setup.referenceUncertainty = reference_.uncertaintyVolts;
    } else {
        const std::optional<double> u = typedNumber(txtReferenceU->text());
        if (!u || *u < 0) {
            why = QStringLiteral("The reference's uncertainty \"%1\" is not a number of 0 or "
                                 "more (%2): give the uncertainty (k = 2) of the process value "
                                 "the reference applies.")
                      .arg(txtReferenceU->text(), channel_.unit.isEmpty()
                                                      ? QStringLiteral("the channel's unit")
                                                      : channel_.unit);
            return std::nullopt;
        }
        setup.referenceUncertainty = *u;
    }
    if (const std::optional<QString> refusal = records::checkSetup(setup)) {
        why = *refusal;
        return std::nullopt;
    }
    return setup;
}

void VerifyWindow::buildPointRows() {
    for (const PointRow& row : rows_)
        for (QWidget* widget :
             {static_cast<QWidget*>(row.point), static_cast<QWidget*>(row.nominal),
              static_cast<QWidget*>(row.applied), static_cast<QWidget*>(row.expected),
              static_cast<QWidget*>(row.reading), static_cast<QWidget*>(row.error),
              static_cast<QWidget*>(row.errorPercent), static_cast<QWidget*>(row.uncertainty),
              static_cast<QWidget*>(row.verdict)})
            delete widget;
    rows_.clear();
    points_.clear();
    if (pointGrid->count() == 0) {
        const QStringList titles{
            QStringLiteral("Point"),    QStringLiteral("Nominal"),   QStringLiteral("Applied"),
            QStringLiteral("Expected"), QStringLiteral("Reading"),   QStringLiteral("Error"),
            QStringLiteral("Error %"),  QStringLiteral("U (k = 2)"), QStringLiteral("Verdict")};
        for (int column = 0; column < titles.size(); ++column)
            pointGrid->addWidget(new QLabel(titles[column], pointArea), 0, int(column));
    }
    QString why;
    const std::optional<records::VerificationSetup> setup = currentSetup(why);
    lblVerdict->setText(setup ? QString() : why);
    if (!setup)
        return;
    points_ = records::testPoints(*setup, chkUpAndDown->isChecked());
    const QString appliedUnit = unitSuffix(setup->appliedUnit());
    QWidget* previous = cboMode;
    setTabOrder(cboPhase, txtReason);
    setTabOrder(txtReason, cboMode);
    for (size_t i = 0; i < points_.size(); ++i) {
        const int r = int(i) + 1;
        const auto label = [&](const QString& text, const QString& objectName) {
            auto* l = new QLabel(text, pointArea);
            l->setTextFormat(Qt::PlainText);
            l->setObjectName(objectName);
            l->setAccessibleDescription(objectName);
            return l;
        };
        PointRow row;
        const QString n = QString::number(i);
        row.point = label(percentText(points_[i].percent), QStringLiteral("lblPoint") + n);
        row.nominal =
            label(figureText(points_[i].nominal) + appliedUnit, QStringLiteral("lblNominal") + n);
        row.applied = new QLineEdit(figureText(points_[i].nominal), pointArea);
        row.applied->setObjectName(QStringLiteral("txtApplied") + n);
        row.applied->setAccessibleDescription(row.applied->objectName());
        row.applied->setAccessibleName(
            QStringLiteral("Applied value at %1 of span, %2")
                .arg(percentText(points_[i].percent), setup->appliedUnit()));
        row.applied->setEnabled(i == 0);
        connect(row.applied, &QLineEdit::returnPressed, this, [this] { recordRequested(); });
        row.expected = label(QString(), QStringLiteral("lblExpected") + n);
        row.reading = label(QString(), QStringLiteral("lblReading") + n);
        row.error = label(QString(), QStringLiteral("lblError") + n);
        row.errorPercent = label(QString(), QStringLiteral("lblErrorPercent") + n);
        row.uncertainty = label(QString(), QStringLiteral("lblUncertainty") + n);
        row.verdict = label(QString(), QStringLiteral("lblVerdict") + n);
        const QWidget* cells[] = {row.point,        row.nominal,     row.applied,
                                  row.expected,     row.reading,     row.error,
                                  row.errorPercent, row.uncertainty, row.verdict};
        for (int column = 0; column < int(std::size(cells)); ++column)
            pointGrid->addWidget(const_cast<QWidget*>(cells[column]), r, column);
        setTabOrder(previous, row.applied);
        previous = row.applied;
        rows_.push_back(row);
    }
    setTabOrder(previous, chkUpAndDown);
    setTabOrder(chkUpAndDown, txtTolerance);
    setTabOrder(txtTolerance, txtReferenceU);
    setTabOrder(txtReferenceU, cmdRecordNotApplicable);
    setTabOrder(cmdRecordNotApplicable, cmdClose);
    plotView->show(records::errorPlotOf({}, setup->tolerancePercent));
}

void VerifyWindow::lockSetup() {
    for (QWidget* control : std::initializer_list<QWidget*>{
             cboPhase, txtReason, cboMode, chkUpAndDown, txtTolerance, txtReferenceU})
        control->setEnabled(false);
}

void VerifyWindow::keyPressEvent(QKeyEvent* event) {
    // Enter belongs to the field it is pressed in (a point's applied value, the reason) and to
    // a button with the focus; it never closes the window.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void VerifyWindow::message(const QString& text) const {
    platform::MsgBox(text, platform::vbOKOnly, windowTitle());
}

void VerifyWindow::recordRequested() {
    if (readingUnderWay_) {
        enterPending_ = true; // taken up once the reading under way is in
        return;
    }
    const size_t index = recorded_.size();
    if (finished_ || waiting_ || index >= rows_.size())
        return;
    if (needsReason() && txtReason->text().trimmed().isEmpty()) {
        message(QStringLiteral("Give the reason for this phase first."));
        txtReason->setFocus();
        return;
    }
    QString why;
    const std::optional<records::VerificationSetup> setup = setup_ ? setup_ : currentSetup(why);
    QLineEdit* field = rows_[index].applied;
    if (!setup) {
        message(why);
        return;
    }
    const std::optional<double> applied = typedNumber(field->text());
    if (!applied) {
        message(QStringLiteral("The applied value \"%1\" is not a number.").arg(field->text()));
        field->selectAll();
        return;
    }
    const records::AppliedCheck check = records::checkApplied(*setup, points_[index], *applied);
    if (!check.accepted) {
        message(check.refusal);
        field->selectAll();
        return;
    }
    waiting_ = true;
    appliedWaitedFor_ = *applied;
    field->setReadOnly(true);
    watch_ = records::StabilityWatch(displayStep_ > 0 ? displayStep_ : setup->displayStep);
    watch_.restart(clockMs_());
    readingsWaited_ = 0;
    lblStability->setText(QStringLiteral("Waiting for a stable reading..."));
}

void VerifyWindow::stopWaiting(const QString& stabilityText) {
    waiting_ = false;
    lblStability->setText(stabilityText);
    const size_t index = recorded_.size();
    if (index < rows_.size()) {
        rows_[index].applied->setReadOnly(false);
        rows_[index].applied->setFocus();
    }
}

void VerifyWindow::showLiveReading(const QString& text) {
    txtLiveReading->setText(text);
}

void VerifyWindow::takeReading() {
    if (readingUnderWay_)
        return;
    readingUnderWay_ = true;
    const std::optional<QString> text = services_.takeLiveReading();
    const size_t index = recorded_.size();
    const QString where = index < points_.size() ? percentText(points_[index].percent) : QString();
    // The number and its resolution taken out at once (a reading that is no number has none).
    bool isNumber = false;
    double number = 0;
    if (text) {
        if (const std::optional<records::ReadingValue> value = records::readingValue(*text)) {
            isNumber = true;
            number = value->value;
            displayStep_ =
                displayStep_ > 0 ? std::min(displayStep_, value->displayStep) : value->displayStep;
        }
    }
    showLiveReading(text.value_or(QString()));
    if (waiting_ && !closeAsked_) {
        if (!text) {
            stopWaiting(QStringLiteral("No reading"));
            message(QStringLiteral("The controller did not answer: the point at %1 of span is "
                                   "not recorded, and the test stays incomplete.\r\nPress Enter "
                                   "in the applied value to try the point again.")
                        .arg(where));
        } else if (!isNumber) {
            stopWaiting(QStringLiteral("No reading"));
            message(QStringLiteral("The reading \"%1\" is not a number: the point at %2 of span "
                                   "is not recorded, and the test stays incomplete.")
                        .arg(text->trimmed(), where));
        } else {
            const qint64 now = clockMs_();
            switch (watch_.add(number, now)) {
            case records::StabilityWatch::Status::Waiting:
                ++readingsWaited_;
                lblStability->setText(
                    QStringLiteral("Waiting for %1 readings within %2 of each other (%3 taken)")
                        .arg(records::StabilityWatch::kReadingCount)
                        .arg(figureText(displayStep_))
                        .arg(readingsWaited_));
                break;
            case records::StabilityWatch::Status::Stable:
                stopWaiting(QStringLiteral("Stable"));
                recordPoint(watch_.readings(), true);
                break;
            case records::StabilityWatch::Status::TimedOut:
                if (platform::MsgBox(
                        QStringLiteral("No stable reading came within %1 s at %2 of span.\r\n"
                                       "Record the point as unstable? It then fails.\r\n"
                                       "No: go on waiting.")
                            .arg(records::StabilityWatch::kTimeoutMs / 1000)
                            .arg(where),
                        platform::vbYesNo, windowTitle()) == platform::vbYes) {
                    stopWaiting(QStringLiteral("Unstable"));
                    recordPoint(watch_.readings(), false);
                } else {
                    watch_.restart(clockMs_());
                }
                break;
            }
        }
    }
    readingUnderWay_ = false;
    if (closeAsked_) {
        const int result = *closeAsked_;
        closeAsked_.reset();
        done(result);
        return;
    }
    if (enterPending_) {
        enterPending_ = false;
        recordRequested();
    }
}

records::CalibrationLogEntry VerifyWindow::testEntry(records::LogRecord record) const {
    records::CalibrationLogEntry entry;
    entry.record = record;
    entry.time = QDateTime::currentDateTime();
    entry.channel = channel_.channel;
    entry.sensorType = channel_.sensorType;
    entry.unit = channel_.unit;
    entry.loVolts = characteristic_.loVolts;
    entry.hiVolts = characteristic_.hiVolts;
    entry.rangeLo = characteristic_.rangeLo;
    entry.rangeHi = characteristic_.rangeHi;
    records::TestLogFields& test = entry.test;
    test.started = records::logTimeText(started_);
    test.phase = phase() == Phase::AsLeft ? kAsLeft : kAsFound;
    test.reason = needsReason() ? txtReason->text().trimmed() : QString();
    test.referenceSerial = reference_.serial;
    test.referenceCertificate = reference_.certificate;
    if (setup_) {
        test.mode = records::injectionModeName(setup_->mode);
        test.tolerancePercent = figureText(setup_->tolerancePercent);
        test.referenceUncertainty =
            figureText(setup_->referenceUncertainty) + unitSuffix(setup_->appliedUnit());
    }
    return entry;
}

void VerifyWindow::recordPoint(const std::vector<double>& readings, bool stable) {
    const size_t index = recorded_.size();
    if (index >= points_.size())
        return;
    bool firstPoint = false;
    if (!setup_) {
        QString why;
        setup_ = currentSetup(why);
        if (!setup_) {
            message(why);
            return;
        }
        firstPoint = true;
    }
    const records::PointEvaluation evaluation =
        records::evaluatePoint(*setup_, points_[index], appliedWaitedFor_, readings, stable);
    if (!evaluation.result) {
        if (firstPoint)
            setup_.reset();
        message(evaluation.refusal);
        return;
    }
    const records::PointResult& result = *evaluation.result;
    records::CalibrationLogEntry entry = testEntry(records::LogRecord::Point);
    records::TestLogFields& test = entry.test;
    test.point = figureText(result.point.percent);
    test.nominal = figureText(result.point.nominal);
    test.applied = figureText(result.applied);
    test.expected = figureText(result.expected);
    test.reading = figureText(result.reading);
    QStringList each;
    for (double reading : readings)
        each << figureText(reading);
    test.readings = each.join(QLatin1Char(' '));
    test.error = figureText(result.error);
    test.errorPercent = figureText(result.errorPercent, 4);
    test.uncertainty = figureText(result.uncertainty.expanded, 4);
    test.uncertaintyPercent = figureText(result.uncertaintyPercent, 4);
    test.decisionRule = result.rule.text();
    test.verdict = records::verdictName(result.verdict);
    if (services_.record(entry) == records::LogOutcome::NotRecorded) {
        if (firstPoint)
            setup_.reset();
        message(QStringLiteral("The point at %1 of span is not recorded: the calibration log "
                               "cannot take it. The test stays incomplete.")
                    .arg(percentText(result.point.percent)));
        return;
    }
    if (firstPoint) {
        lockSetup();
        // What this test is judged against is what the channel's later as-left tests are.
        if (!characteristicFrozenBefore_)
            session_.freeze(channel_.channel, characteristic_);
    }
    recorded_.push_back(result);
    const PointRow& row = rows_[index];
    const QString unit = unitSuffix(channel_.unit);
    row.applied->setEnabled(false);
    row.expected->setText(figureText(result.expected) + unit);
    row.reading->setText(figureText(result.reading) + unit);
    row.error->setText(figureText(result.error, 4) + unit);
    row.errorPercent->setText(percentText(result.errorPercent));
    row.uncertainty->setText(QStringLiteral("± ") + percentText(result.uncertaintyPercent));
    row.verdict->setText(records::verdictName(result.verdict).toUpper());
    plotView->show(records::errorPlotOf(recorded_, setup_->tolerancePercent));
    if (index + 1 < rows_.size()) {
        rows_[index + 1].applied->setEnabled(true);
        rows_[index + 1].applied->setFocus();
        return;
    }
    finishTest();
}

records::PhaseVerdict VerifyWindow::verdict() const {
    return records::phaseVerdict(points_, recorded_);
}

void VerifyWindow::finishTest() {
    const records::PhaseVerdict phaseVerdict = verdict();
    records::CalibrationLogEntry entry = testEntry(records::LogRecord::Verdict);
    entry.test.point = QStringLiteral("%1 points").arg(recorded_.size());
    // The rule in force: the strictest any point was judged by.
    const auto strictest =
        std::min_element(recorded_.begin(), recorded_.end(), [](const auto& a, const auto& b) {
            return a.rule.acceptancePercent < b.rule.acceptancePercent;
        });
    if (strictest != recorded_.end())
        entry.test.decisionRule = strictest->rule.text();
    entry.test.verdict = records::phaseVerdictName(phaseVerdict);
    const int failed = int(std::count_if(recorded_.begin(), recorded_.end(),
                                         [](const auto& r) { return !r.passed(); }));
    const QString phaseName =
        phase() == Phase::AsLeft ? QStringLiteral("As-Left") : QStringLiteral("As-Found");
    finished_ = true;
    if (services_.record(entry) == records::LogOutcome::NotRecorded) {
        lblVerdict->setText(QStringLiteral("%1: %2 (the verdict is not in the log)")
                                .arg(phaseName, records::phaseVerdictName(phaseVerdict).toUpper()));
        message(QStringLiteral("The test's verdict is not recorded: the calibration log cannot "
                               "take it. Its points are recorded."));
    } else {
        lblVerdict->setText(failed == 0 ? QStringLiteral("%1: PASS").arg(phaseName)
                                        : QStringLiteral("%1: FAIL (%2 of %3 points)")
                                              .arg(phaseName)
                                              .arg(failed)
                                              .arg(recorded_.size()));
    }
    cmdClose->setFocus();
}

void VerifyWindow::recordNotApplicable() {
    if (finished_ || phase() != Phase::InitialNotApplicable)
        return;
    if (txtReason->text().trimmed().isEmpty()) {
        message(QStringLiteral("Give the reason why the as-found test is not applicable."));
        txtReason->setFocus();
        return;
    }
    records::CalibrationLogEntry entry = testEntry(records::LogRecord::Verdict);
    entry.test.verdict = QStringLiteral("not applicable");
    if (services_.record(entry) == records::LogOutcome::NotRecorded) {
        message(QStringLiteral("The as-found test is not recorded as not applicable: the "
                               "calibration log cannot take it."));
        return;
    }
    // The as-left test that follows the first calibration takes the setpoints it writes.
    session_.thaw(channel_.channel);
    finished_ = true;
    lockSetup();
    cmdRecordNotApplicable->setEnabled(false);
    lblVerdict->setText(QStringLiteral("As-Found: not applicable (initial calibration)"));
    cmdClose->setFocus();
}

void VerifyWindow::recordIncompleteIfHalfWay() {
    if (finished_ || recorded_.empty())
        return;
    finished_ = true;
    records::CalibrationLogEntry entry = testEntry(records::LogRecord::Verdict);
    entry.test.point = QStringLiteral("%1 points").arg(recorded_.size());
    entry.test.verdict = records::phaseVerdictName(records::PhaseVerdict::Incomplete);
    services_.record(entry);
}

void VerifyWindow::done(int result) {
    // A reading under way finishes first; the window closes as soon as it is in.
    if (readingUnderWay_) {
        closeAsked_ = result;
        return;
    }
    readingTimer->stop();
    recordIncompleteIfHalfWay();
    QDialog::done(result);
}

} // namespace workbench
