// The Job dialog driven through its real widgets: bad input named in a box with the dialog kept
// open, OK written to the job file and told once, Cancel and Esc leaving everything as it was,
// a controller's tag remembered for its identity, a failed write keeping what was typed, and
// the warning for a reference no test may use.
#include "fakes.h"
#include "form_controls.h"
#include "platform/files/file_sync.h"
#include "platform/system/error_text.h"
#include "records/job.h"
#include "records/job_store.h"
#include "workbench/job_dialog.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

using testsupport::control;
using workbench::JobDialog;

namespace {

const QString kIdentity = QStringLiteral("TQ8400 V2.13 04/03/97");
const QString kOtherIdentity = QStringLiteral("TQ8400 V2.13 04/03/97 & more");

class JobDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_EQ(store.load(path), QString());
        QObject::connect(
            &store, &records::JobStore::changed,
            [this](const std::vector<records::JobChange>& changes) { told.push_back(changes); });
    }
    void TearDown() override { platform::setFileFailureForTests(platform::FileStep::Write, 0); }

    JobDialog& open(const QString& identityKey = kIdentity) {
        dialog = std::make_unique<JobDialog>(store, identityKey, identityKey);
        dialog->show();
        return *dialog;
    }
    QLineEdit* field(const char* name) { return control<QLineEdit>(*dialog, name); }
    void type(const char* name, const QString& text) {
        QLineEdit* edit = field(name);
        ASSERT_NE(edit, nullptr);
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    void click(const char* name) {
        QPushButton* button = control<QPushButton>(*dialog, name);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // The window has grown to what it shows: the whole warning, and no field over another.
    void expectEverythingFits() {
        QCoreApplication::sendPostedEvents();
        QLabel* warning = control<QLabel>(*dialog, "lblReferenceWarning");
        ASSERT_NE(warning, nullptr);
        EXPECT_GE(warning->height(), warning->heightForWidth(warning->width()));
        QWidget* address = control<QWidget>(*dialog, "txtAddress");
        QWidget* site = control<QWidget>(*dialog, "txtSite");
        ASSERT_TRUE(address && site);
        EXPECT_GE(site->mapTo(dialog.get(), QPoint(0, 0)).y(),
                  address->mapTo(dialog.get(), QPoint(0, address->height())).y());
    }
    // A reference any test may use.
    void enterFitReference() {
        type("txtCertificate", "CAL-1");
        type("txtDueDate", QDate::currentDate().addDays(30).toString("yyyy-MM-dd"));
        type("txtUncertaintyVolts", "0.0005");
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(records::kJobSettingsFileName));
    records::JobStore store;
    std::vector<std::vector<records::JobChange>> told;
    testsupport::BoxAnswerer boxes;
    std::unique_ptr<JobDialog> dialog;
};

TEST_F(JobDialogTest, BadInputIsNamedInABoxAndTheDialogStaysOpenWithTheTextAsTyped) {
    struct Case {
        const char* field;
        QString typed;
        QString message;
    };
    const Case cases[] = {
        {"txtDueDate", "2026-02-30",
         "Due date: \"2026-02-30\" is not a date in the form yyyy-MM-dd"},
        {"txtDueDate", "31/12/2026",
         "Due date: \"31/12/2026\" is not a date in the form yyyy-MM-dd"},
        {"txtUncertaintyVolts", "0.5 mV", "Uncertainty: \"0.5 mV\" is not a number of volts."},
        {"txtUncertaintyVolts", " -0.001 ", "Uncertainty: -0.001 V is below zero"},
        {"txtAmbient", "warm", "Ambient temperature: \"warm\" is not a number of degrees Celsius"},
        {"txtAmbient", "21,5", "Ambient temperature: \"21,5\" is not a number of degrees Celsius"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field + std::string(" ") + c.typed.toStdString());
        boxes.shown.clear();
        open();
        type("txtOrganisation", "Acme");
        type(c.field, c.typed);
        click("cmdOK");
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_TRUE(boxes.shown[0].text.startsWith(c.message)) << boxes.shown[0].text.toStdString();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(field(c.field)->text(), c.typed);
        EXPECT_EQ(field("txtOrganisation")->text(), "Acme");
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_TRUE(told.empty());
    }
}

TEST_F(JobDialogTest, OkWritesTheFileTrimmedAndTellsTheChangesOnce) {
    open();
    type("txtOrganisation", "  Acme Calibration  ");
    QPlainTextEdit* address = control<QPlainTextEdit>(*dialog, "txtAddress");
    ASSERT_NE(address, nullptr);
    address->setPlainText("Unit 4\nIndustrial Estate\n");
    type("txtSite", "Plant 4");
    type("txtAmbient", "21.5");
    type("txtControllerTag", "FT-101");
    enterFitReference();
    click("cmdOK");

    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    ASSERT_EQ(told.size(), 1u);
    QStringList keys;
    for (const records::JobChange& change : told[0])
        keys << change.key;
    EXPECT_EQ(keys, QStringList({"job/organisation", "job/address", "job/site", "job/ambient",
                                 "reference/certificate", "reference/due_date",
                                 "reference/uncertainty_volts",
                                 "controllers/" + records::controllerSettingKey(kIdentity)}));

    const records::JobSettingsRead read = records::readJobSettings(path);
    ASSERT_EQ(read.error, QString());
    EXPECT_EQ(read.settings.job.organisation, "Acme Calibration");
    EXPECT_EQ(read.settings.job.address, "Unit 4\nIndustrial Estate");
    EXPECT_EQ(read.settings.reference.uncertaintyVolts, "0.0005");
    EXPECT_EQ(read.settings.tagFor(kIdentity), "FT-101");

    // Opened again and left with OK unchanged: nothing more is told.
    open();
    EXPECT_EQ(field("txtOrganisation")->text(), "Acme Calibration");
    click("cmdOK");
    EXPECT_EQ(told.size(), 1u);
}

TEST_F(JobDialogTest, CancelAndEscapeChangeNothing) {
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Esc" : "Cancel");
        open();
        type("txtSite", "Somewhere else");
        if (escape)
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        else
            click("cmdCancel");
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_EQ(store.settings().job.site, QString());
        EXPECT_TRUE(told.empty());
    }
}

TEST_F(JobDialogTest, TagIsRememberedForEachIdentity) {
    struct Step {
        QString identity;
        QString shown; // the tag the dialog shows when opened
        QString typed;
    };
    const Step steps[] = {
        {kIdentity, "", "FT-101"},       {kOtherIdentity, "", "FT-202"},
        {kIdentity, "FT-101", "FT-101"}, {kOtherIdentity, "FT-202", ""}, // taken away
        {kOtherIdentity, "", "FT-203"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.identity.toStdString() + " " + step.typed.toStdString());
        open(step.identity);
        QLabel* label = control<QLabel>(*dialog, "lblControllerTag");
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->buddy(), field("txtControllerTag"));
        EXPECT_TRUE(label->text().contains(QString(step.identity).replace("&", "&&")));
        EXPECT_EQ(field("txtControllerTag")->text(), step.shown);
        type("txtControllerTag", step.typed);
        click("cmdOK");
        EXPECT_FALSE(dialog->isVisible());
    }
    const records::JobSettings saved = records::readJobSettings(path).settings;
    EXPECT_EQ(saved.tagFor(kIdentity), "FT-101");
    EXPECT_EQ(saved.tagFor(kOtherIdentity), "FT-203");
    EXPECT_EQ(saved.controllerTags.size(), 2u);

    // No controller identified: the tag cannot be given, and the ones remembered stay.
    open(QString());
    QLineEdit* tag = field("txtControllerTag");
    EXPECT_FALSE(tag->isEnabled());
    EXPECT_TRUE(tag->toolTip().contains("No controller")) << tag->toolTip().toStdString();
    type("txtSite", "Plant 9");
    click("cmdOK");
    EXPECT_EQ(records::readJobSettings(path).settings.controllerTags, saved.controllerTags);
}

TEST_F(JobDialogTest, FailedWriteShowsWhyAndKeepsTheDialogAndTheInput) {
    open();
    type("txtSite", "Plant 4");
    platform::setFileFailureForTests(platform::FileStep::Write, ENOSPC);
    click("cmdOK");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.contains(platform::errorText(ENOSPC)));
    EXPECT_TRUE(boxes.shown[0].text.contains("not saved"));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(field("txtSite")->text(), "Plant 4");
    EXPECT_TRUE(told.empty());

    // The disk has room again: the same OK saves it.
    platform::setFileFailureForTests(platform::FileStep::Write, 0);
    click("cmdOK");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(records::readJobSettings(path).settings.job.site, "Plant 4");
}

TEST_F(JobDialogTest, WarnsOfAReferenceNoTestMayUseWithoutBlockingOk) {
    open();
    QLabel* warning = control<QLabel>(*dialog, "lblReferenceWarning");
    ASSERT_NE(warning, nullptr);
    EXPECT_TRUE(warning->text().contains("Reference certificate number")); // empty dialog
    expectEverythingFits();
    enterFitReference();
    EXPECT_EQ(warning->text(), QString());
    expectEverythingFits();
    const QString yesterday = QDate::currentDate().addDays(-1).toString("yyyy-MM-dd");
    type("txtDueDate", yesterday);
    EXPECT_TRUE(warning->text().contains("was due for calibration on " + yesterday))
        << warning->text().toStdString();
    expectEverythingFits();
    click("cmdOK");
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(records::readJobSettings(path).settings.reference.dueDate, yesterday);
}

TEST_F(JobDialogTest, EveryFieldHasALabelWithAMnemonicAndTheTabOrderFollowsTheForm) {
    open();
    const char* order[] = {
        "txtOrganisation", "txtAddress",          "txtSite",        "txtCustomer",
        "txtWorkOrder",    "txtProcedure",        "txtAmbient",     "txtControllerTag",
        "txtDescription",  "txtSerial",           "txtCertificate", "txtLaboratory",
        "txtDueDate",      "txtUncertaintyVolts", "cmdOK",          "cmdCancel"};
    QSet<QChar> mnemonics;
    QWidget* previous = nullptr;
    for (const char* name : order) {
        SCOPED_TRACE(name);
        QWidget* widget = control<QWidget>(*dialog, name);
        ASSERT_NE(widget, nullptr);
        EXPECT_FALSE(widget->accessibleName().isEmpty());
        EXPECT_FALSE(widget->accessibleDescription().isEmpty());
        QString caption;
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            caption = button->text();
        } else {
            const QByteArray labelName = QByteArray("lbl") + (name + 3);
            QLabel* label = control<QLabel>(*dialog, labelName.constData());
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->buddy(), widget);
            caption = label->text();
        }
        const qsizetype mark = caption.indexOf(QRegularExpression("&[^&]"));
        ASSERT_GE(mark, 0) << caption.toStdString();
        EXPECT_FALSE(mnemonics.contains(caption[mark + 1].toLower())) << caption.toStdString();
        mnemonics.insert(caption[mark + 1].toLower());
        // Tab from the field before comes here.
        if (previous) {
            QWidget* next = previous->nextInFocusChain();
            while (next != widget && !(next->focusPolicy() & Qt::TabFocus))
                next = next->nextInFocusChain();
            EXPECT_EQ(next, widget);
        }
        previous = widget;
    }
}

} // namespace
