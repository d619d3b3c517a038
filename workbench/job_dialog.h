// The Job dialog: the job a calibration is made for, the tag of the controller on the port and
// the reference instrument, kept in the job file through the program's JobStore.
#pragma once

#include <QDialog>
#include <QString>

#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace records {
class JobStore;
struct JobSettings;
} // namespace records

namespace workbench {

class JobDialog : public QDialog {
    Q_OBJECT

  public:
    // `identityKey` names the controller whose tag the dialog shows and changes, `identityText`
    // is how the technician knows it; with an empty key (no controller identified) the tag
    // cannot be given.
    JobDialog(records::JobStore& store, const QString& identityKey, const QString& identityText,
              QWidget* parent = nullptr);

  private:
    void buildControls(const QString& identityText);
    void showSettings(const records::JobSettings& settings);
    // The settings as entered, trimmed; nothing when a field holds what it cannot, after a box
    // has named the field (which then has the focus, its text as typed).
    std::optional<records::JobSettings> enteredSettings();
    void showReferenceWarning();
    void save();

    records::JobStore& m_store;
    QString m_identityKey;

    QLineEdit* txtOrganisation = nullptr;
    QPlainTextEdit* txtAddress = nullptr;
    QLineEdit* txtSite = nullptr;
    QLineEdit* txtCustomer = nullptr;
    QLineEdit* txtWorkOrder = nullptr;
    QLineEdit* txtProcedure = nullptr;
    QLineEdit* txtAmbient = nullptr;
    QLineEdit* txtControllerTag = nullptr;
    QLineEdit* txtDescription = nullptr;
    QLineEdit* txtSerial = nullptr;
    QLineEdit* txtCertificate = nullptr;
    QLineEdit* txtLaboratory = nullptr;
    QLineEdit* txtDueDate = nullptr;
    QLineEdit* txtUncertaintyVolts = nullptr;
    QLabel* lblReferenceWarning = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
};

} // namespace workbench
