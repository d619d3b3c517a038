#include "workbench/job_dialog.h"

#include "platform/widgets/message_box.h"
#include "records/job.h"
#include "records/job_store.h"
#include "shell/window_helpers.h"

#include <QDate>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace workbench {

namespace {

using shell::named;

// A field in a form, after its label, which names it to the ear as well (without the mnemonic
// and the colon).
template <class Field>
Field* addRow(QFormLayout* form, Field* field, const QString& name, const QString& caption) {
    named(field, QStringLiteral("txt") + name);
    auto* label = named(new QLabel(caption), QStringLiteral("lbl") + name);
    label->setBuddy(field);
    QString spoken;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        // "&&" shows one '&'; a single one marks the mnemonic.
        if (caption[i] == QLatin1Char('&') && ++i == caption.size())
            break;
        spoken += caption[i];
    }
    if (spoken.endsWith(QLatin1Char(':')))
        spoken.chop(1);
    label->setAccessibleName(spoken);
    field->setAccessibleName(spoken);
    form->addRow(label, field);
    return field;
}

QLineEdit* addLine(QFormLayout* form, const QString& name, const QString& caption) {
    return addRow(form, new QLineEdit, name, caption);
}

// A number as the records read one (C locale, no unit); nothing when it is none.
std::optional<double> numberIn(const QString& text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The identity as a caption shows it: control characters and line breaks become '?', and an
// '&' is no mnemonic.
QString captionText(const QString& identityText) {
    QString text;
    for (const QChar c : identityText.trimmed()) {
        const QChar::Category category = c.category();
        const bool shown = category != QChar::Other_Control && category != QChar::Separator_Line &&
                           category != QChar::Separator_Paragraph;
        text += shown ? c : QLatin1Char('?');
    }
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

const QString kDateForm = QStringLiteral("yyyy-MM-dd");

} // namespace

JobDialog::JobDialog(records::JobStore& store, const QString& identityKey,
                     const QString& identityText, QWidget* parent)
    : QDialog(parent), m_store(store), m_identityKey(identityKey) {
    named(this, QStringLiteral("frmJob"));
    setWindowTitle(QStringLiteral("Job"));
    buildControls(identityText.trimmed().isEmpty() ? identityKey : identityText);
    showSettings(store.settings());
    showReferenceWarning();
}

void JobDialog::buildControls(const QString& identityText) {
    auto* job = named(new QGroupBox(QStringLiteral("Job")), QStringLiteral("fraJob"));
    auto* jobForm = new QFormLayout(job);
    txtOrganisation = addLine(jobForm, QStringLiteral("Organisation"), "O&rganisation:");
    txtAddress = addRow(jobForm, new QPlainTextEdit, QStringLiteral("Address"), "A&ddress:");
    // Tab moves on, as in every other field; Enter starts a new line of the address.
    txtAddress->setTabChangesFocus(true);
    txtAddress->setFixedHeight(txtAddress->fontMetrics().lineSpacing() * 4 +
                               2 * txtAddress->frameWidth() + 8);
    txtSite = addLine(jobForm, QStringLiteral("Site"), "&Site:");
    txtCustomer = addLine(jobForm, QStringLiteral("Customer"), "C&ustomer:");
    txtWorkOrder = addLine(jobForm, QStringLiteral("WorkOrder"), "&Work order:");
    txtProcedure = addLine(jobForm, QStringLiteral("Procedure"), "&Procedure:");
    txtAmbient = addLine(jobForm, QStringLiteral("Ambient"),
                         QStringLiteral("A&mbient temperature (\u00B0C):"));
    txtAmbient->setToolTip(QStringLiteral("Optional: the temperature in degrees Celsius"));

    auto* controller =
        named(new QGroupBox(QStringLiteral("Controller")), QStringLiteral("fraController"));
    auto* controllerForm = new QFormLayout(controller);
    if (m_identityKey.isEmpty()) {
        txtControllerTag = addLine(controllerForm, QStringLiteral("ControllerTag"),
                                   "&Tag or serial number (no controller identified):");
        txtControllerTag->setEnabled(false);
        txtControllerTag->setToolTip(
            QStringLiteral("No controller has said who it is yet: a tag is remembered for the "
                           "controller's identity, so there is none to give it to."));
    } else {
        txtControllerTag =
            addLine(controllerForm, QStringLiteral("ControllerTag"),
                    QStringLiteral("&Tag or serial number of %1:").arg(captionText(identityText)));
        txtControllerTag->setToolTip(
            QStringLiteral("Remembered for this controller; records name it beside the "
                           "controller's identity."));
    }

    auto* reference = named(new QGroupBox(QStringLiteral("Reference instrument")),
                            QStringLiteral("fraReference"));
    auto* referenceForm = new QFormLayout(reference);
    txtDescription = addLine(referenceForm, QStringLiteral("Description"), "D&escription:");
    txtSerial = addLine(referenceForm, QStringLiteral("Serial"), "Seria&l number:");
    txtCertificate = addLine(referenceForm, QStringLiteral("Certificate"), "Certi&ficate number:");
    txtLaboratory =
        addLine(referenceForm, QStringLiteral("Laboratory"), "Calibrating la&boratory:");
    txtDueDate = addLine(referenceForm, QStringLiteral("DueDate"), "Due d&ate (yyyy-MM-dd):");
    txtDueDate->setPlaceholderText(kDateForm);
    txtDueDate->setToolTip(QStringLiteral("The date the reference's calibration runs out"));
    txtUncertaintyVolts =
        addLine(referenceForm, QStringLiteral("UncertaintyVolts"), "U&ncertainty (V, k = 2):");
    txtUncertaintyVolts->setToolTip(
        QStringLiteral("The reference's expanded uncertainty (k = 2), in volts"));

    lblReferenceWarning = named(new QLabel, QStringLiteral("lblReferenceWarning"));
    lblReferenceWarning->setTextFormat(Qt::PlainText);
    lblReferenceWarning->setWordWrap(true);
    lblReferenceWarning->setAccessibleName(QStringLiteral("Reference warning"));

    cmdOK = named(new QPushButton(QStringLiteral("&OK")), QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = named(new QPushButton(QStringLiteral("&Cancel")), QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    for (QPushButton* button : {cmdOK, cmdCancel})
        button->setAccessibleName(button->text().remove(QLatin1Char('&')));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(job);
    layout->addWidget(controller);
    layout->addWidget(reference);
    layout->addWidget(lblReferenceWarning);
    layout->addLayout(buttons);
    // The window takes the size its contents need, also when the warning grows or shrinks
    // (a wrapped text needs a height that depends on the width, which only this size follows).
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* order[] = {txtOrganisation, txtAddress,          txtSite,        txtCustomer,
                        txtWorkOrder,    txtProcedure,        txtAmbient,     txtControllerTag,
                        txtDescription,  txtSerial,           txtCertificate, txtLaboratory,
                        txtDueDate,      txtUncertaintyVolts, cmdOK,          cmdCancel};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    for (QLineEdit* field : {txtDueDate, txtCertificate, txtUncertaintyVolts})
        connect(field, &QLineEdit::textChanged, this, &JobDialog::showReferenceWarning);
    connect(cmdOK, &QPushButton::clicked, this, &JobDialog::save);
    connect(cmdCancel, &QPushButton::clicked, this, &JobDialog::reject);
}

void JobDialog::showSettings(const records::JobSettings& settings) {
    txtOrganisation->setText(settings.job.organisation);
    txtAddress->setPlainText(settings.job.address);
    txtSite->setText(settings.job.site);
    txtCustomer->setText(settings.job.customer);
    txtWorkOrder->setText(settings.job.workOrder);
    txtProcedure->setText(settings.job.procedure);
    txtAmbient->setText(settings.job.ambient);
    txtControllerTag->setText(settings.tagFor(m_identityKey));
    txtDescription->setText(settings.reference.description);
    txtSerial->setText(settings.reference.serial);
    txtCertificate->setText(settings.reference.certificate);
    txtLaboratory->setText(settings.reference.laboratory);
    txtDueDate->setText(settings.reference.dueDate);
    txtUncertaintyVolts->setText(settings.reference.uncertaintyVolts);
}

std::optional<records::JobSettings> JobDialog::enteredSettings() {
    auto refuse = [](QLineEdit* field, const QString& message) {
        platform::MsgBox(message);
        field->setFocus();
        field->selectAll();
        return std::nullopt;
    };

    records::JobSettings settings = m_store.settings();
    settings.job.organisation = txtOrganisation->text().trimmed();
    settings.job.address = txtAddress->toPlainText().trimmed();
    settings.job.site = txtSite->text().trimmed();
    settings.job.customer = txtCustomer->text().trimmed();
    settings.job.workOrder = txtWorkOrder->text().trimmed();
    settings.job.procedure = txtProcedure->text().trimmed();
    settings.job.ambient = txtAmbient->text().trimmed();
    if (!m_identityKey.isEmpty())
        settings.controllerTags[m_identityKey] = txtControllerTag->text().trimmed();
    records::ReferenceInstrument& reference = settings.reference;
    reference.description = txtDescription->text().trimmed();
    reference.serial = txtSerial->text().trimmed();
    reference.certificate = txtCertificate->text().trimmed();
    reference.laboratory = txtLaboratory->text().trimmed();
    reference.dueDate = txtDueDate->text().trimmed();
    reference.uncertaintyVolts = txtUncertaintyVolts->text().trimmed();

    if (!settings.job.ambient.isEmpty() && !numberIn(settings.job.ambient))
        return refuse(txtAmbient,
                      QStringLiteral("Ambient temperature: \"%1\" is not a number of degrees "
                                     "Celsius. Leave it empty when it was not measured.")
                          .arg(settings.job.ambient));
    if (!reference.dueDate.isEmpty() && !reference.due())
        return refuse(txtDueDate,
                      QStringLiteral("Due date: \"%1\" is not a date in the form "
                                     "yyyy-MM-dd (for example %2).")
                          .arg(reference.dueDate, QDate::currentDate().toString(kDateForm)));
    if (!reference.uncertaintyVolts.isEmpty()) {
        const std::optional<double> volts = numberIn(reference.uncertaintyVolts);
        if (!volts)
            return refuse(txtUncertaintyVolts,
                          QStringLiteral("Uncertainty: \"%1\" is not a number of volts.")
                              .arg(reference.uncertaintyVolts));
        if (*volts < 0)
            return refuse(txtUncertaintyVolts,
                          QStringLiteral("Uncertainty: %1 V is below zero; give the expanded "
                                         "uncertainty (k = 2) of the reference in volts.")
                              .arg(reference.uncertaintyVolts));
    }
    return settings;
}

void JobDialog::showReferenceWarning() {
    records::ReferenceInstrument reference;
    reference.certificate = txtCertificate->text().trimmed();
    reference.dueDate = txtDueDate->text().trimmed();
    reference.uncertaintyVolts = txtUncertaintyVolts->text().trimmed();
    const std::optional<QString> refusal =
        records::referenceRefusal(reference, QDate::currentDate());
    lblReferenceWarning->setText(
        refusal ? QStringLiteral("No test may use this reference:\n") + *refusal : QString());
}

void JobDialog::save() {
    const std::optional<records::JobSettings> settings = enteredSettings();
    if (!settings)
        return;
    if (const QString error = m_store.update(*settings); !error.isEmpty()) {
        platform::MsgBox(
            QStringLiteral("The job settings were not saved; what you entered is still here.\n\n") +
            error);
        return;
    }
    accept();
}

} // namespace workbench
