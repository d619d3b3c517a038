// The job settings: the refusal of a reference unfit for a test, the job file written and read
// back with awkward values and identities, a hand-edited file's own lines kept, files that
// cannot be read or written, and the changes a store tells.
#include "platform/files/file_sync.h"
#include "platform/system/error_text.h"
#include "records/job.h"
#include "records/job_store.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

namespace {

using namespace records;

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
}

void put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

ReferenceInstrument reference(const QString& due, const QString& certificate,
                              const QString& uncertainty) {
    ReferenceInstrument r;
    r.description = QStringLiteral("Voltage calibrator");
    r.dueDate = due;
    r.certificate = certificate;
    r.uncertaintyVolts = uncertainty;
    return r;
}

TEST(RecordsJob, ReferenceIsRefusedNamingTheFieldAndWhy) {
    const QDate today(2026, 6, 15);
    const QString pastDue = QStringLiteral("Reference due date: the reference was due for "
                                           "calibration on 2026-06-14 and may not be used after "
                                           "that date.");
    const QString noDue = QStringLiteral("Reference due date: none is given; a reference may be "
                                         "used only while its calibration is in date.");
    const QString noCertificate =
        QStringLiteral("Reference certificate number: none is given; a test must name the "
                       "certificate that makes the reference traceable.");
    const QString noUncertainty = QStringLiteral("Reference uncertainty: none is given; every "
                                                 "point's uncertainty starts from the "
                                                 "reference's.");
    auto malformed = [](const char* due) {
        return QStringLiteral("Reference due date: \"%1\" is not a date in the form yyyy-MM-dd.")
            .arg(QString::fromUtf8(due));
    };
    auto notNumber = [](const char* volts) {
        return QStringLiteral("Reference uncertainty: \"%1\" is not a number of volts.")
            .arg(QString::fromUtf8(volts));
    };
    struct Case {
        const char* due;
        const char* certificate;
        const char* uncertainty;
        QString refusal; // empty: the reference may be used
    };
    // clang-format off
    const Case cases[] = {
        {"2026-06-16", "CAL-1", "0.0005", {}},
        // A reference is still fit on its due date itself; it is refused from the day after.
        {"2026-06-15", "CAL-1", "0.0005", {}},
        {"2026-06-14", "CAL-1", "0.0005", pastDue},
        {"", "CAL-1", "0.0005", noDue},
        {"  ", "CAL-1", "0.0005", noDue},
        {"2026-02-30", "CAL-1", "0.0005", malformed("2026-02-30")},
        {"2026-6-30", "CAL-1", "0.0005", malformed("2026-6-30")},
        {"30/06/2026", "CAL-1", "0.0005", malformed("30/06/2026")},
        {"2026-06-30x", "CAL-1", "0.0005", malformed("2026-06-30x")},
        {"\u0662\u0660\u0662\u0667-06-30", "CAL-1", "0.0005",
         malformed("\u0662\u0660\u0662\u0667-06-30")},
        {"2026-06-16", "", "0.0005", noCertificate},
        {"2026-06-16", " \t", "0.0005", noCertificate},
        {"2026-06-16", "CAL-1", "", noUncertainty},
        {"2026-06-16", "CAL-1", "abc", notNumber("abc")},
        {"2026-06-16", "CAL-1", "0,5", notNumber("0,5")},
        {"2026-06-16", "CAL-1", "nan", notNumber("nan")},
        {"2026-06-16", "CAL-1", "inf", notNumber("inf")},
        {"2026-06-16", "CAL-1", "-0.001",
         QStringLiteral("Reference uncertainty: \"-0.001\" V is below zero.")},
        {"2026-06-16", "CAL-1", "0", {}},
        {"2026-06-16", "CAL-1", "5e-4", {}},
        // Every field at fault, one line each, in the order of the dialog.
        {"2026-06-01", "", "x",
         QStringLiteral("Reference due date: the reference was due for calibration on 2026-06-01 "
                        "and may not be used after that date.\n") +
             noCertificate + '\n' + notNumber("x")},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("due \"%1\", certificate \"%2\", uncertainty \"%3\"")
                         .arg(QString::fromUtf8(c.due), QString::fromUtf8(c.certificate),
                              QString::fromUtf8(c.uncertainty))
                         .toStdString());
        const std::optional<QString> refusal =
            referenceRefusal(reference(QString::fromUtf8(c.due), QString::fromUtf8(c.certificate),
                                       QString::fromUtf8(c.uncertainty)),
                             today);
        EXPECT_EQ(refusal.value_or(QString()), c.refusal);
        EXPECT_EQ(refusal.has_value(), !c.refusal.isEmpty());
    }
}

class JobFileTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override {
        platform::setFileFailureForTests(platform::FileStep::Write, 0);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }

    // Only the job file itself: no temporary file left beside it.
    void expectOnlyTheJobFile() const {
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QString::fromLatin1(kJobSettingsFileName)});
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(kJobSettingsFileName));
};

TEST_F(JobFileTest, MissingFileReadsAsEmptySettingsWithoutError) {
    const JobSettingsRead read = readJobSettings(path);
    EXPECT_EQ(read.error, QString());
    EXPECT_TRUE(jobChanges(JobSettings(), read.settings).empty());
}

TEST_F(JobFileTest, AwkwardValuesAndIdentitiesComeBackExactly) {
    // clang-format off
    const QString values[] = {
        "Acme, Inc.", "\"Quoted\" at the start", "says \"hi\"", "a=b=c", "; not a comment",
        "# nor this", "[not a section]", "  blanks at both ends  ", "\t tab and blank",
        QStringLiteral("M\u00fcller & S\u00f6hne \u2014 23 \u00b0C"),
        "Unit 4\nIndustrial Estate\r\nLeeds LS1 1AA", "ends in a line break\n",
        "C:\\new\\table", "\\n is no line break here", "backslash at the end\\", "\"", "\"\"",
        "\\u0041", QStringLiteral("\u00a0no-break spaces\u00a0"),
        QStringLiteral("line\u2028separator"), QString(QChar(0)) + "nul", "\x7f del",
        QStringLiteral("\U0001F321 thermometer"), "",
    };
    const QString identities[] = {
        "TQ8400 V2.13 04/03/97", "a=b", "[controllers]", "; x", "# x", "two\nlines", "%41",
        QStringLiteral("\u00c4\u00d6 unicode"), "  spaced  ", "\x01\x02 control", "~tilde",
    };
    // clang-format on
    for (const QString& value : values) {
        SCOPED_TRACE(value.toStdString());
        JobSettings written;
        written.job.organisation = value;
        written.job.address = value;
        written.job.ambient = value;
        written.reference.certificate = value;
        written.reference.uncertaintyVolts = value;
        for (const QString& identity : identities)
            written.controllerTags[identity] = value.isEmpty() ? identity : value;
        ASSERT_EQ(writeJobSettings(path, written), QString());
        const JobSettingsRead read = readJobSettings(path);
        ASSERT_EQ(read.error, QString());
        EXPECT_EQ(read.settings.job.organisation, value);
        EXPECT_EQ(read.settings.job.address, value);
        EXPECT_EQ(read.settings.job.ambient, value);
        EXPECT_EQ(read.settings.reference.certificate, value);
        EXPECT_EQ(read.settings.reference.uncertaintyVolts, value);
        EXPECT_EQ(read.settings.controllerTags, written.controllerTags);
        // Every value is on its own line: nothing of it can pass for another line.
        const QStringList lines = QString::fromUtf8(contents(path)).split('\n');
        EXPECT_EQ(lines.filter(QRegularExpression("^organisation=")).size(), 1);
        EXPECT_EQ(lines.filter(QRegularExpression("^\\[")).size(), 3);
        EXPECT_EQ(std::size_t(lines.size()),
                  2 + 1 + 1 + 7 + 1 + 1 + 6 + 1 + 1 + std::size(identities) + 1);
    }
    expectOnlyTheJobFile();
}

TEST_F(JobFileTest, HandEditedFileKeepsEverythingButTheChangedValues) {
    put(path, "\xEF\xBB\xBF; Issued by the calibration laboratory\r\n"
              "[Job]\r\n"
              "Site = Plant 4\r\n"
              "lab_code=42\r\n"
              "site=second site line is ignored\r\n"
              "customer = \"  Spaced Customer  \"\r\n"
              "; reference data follows\r\n"
              "\r\n"
              "[lab]\r\n"
              "owner=J. S\xC3\xB8rensen\r\n"
              "[reference]\r\n"
              "due_date=2027-01-31\r\n"
              "[controllers]\r\n"
              "TQ 8400=old tag\r\n");
    const JobSettingsRead read = readJobSettings(path);
    ASSERT_EQ(read.error, QString());
    EXPECT_EQ(read.settings.job.site, "Plant 4");
    EXPECT_EQ(read.settings.job.customer, "  Spaced Customer  ");
    EXPECT_EQ(read.settings.reference.dueDate, "2027-01-31");
    EXPECT_EQ(read.settings.tagFor("TQ 8400"), "old tag");

    JobSettings changed = read.settings;
    changed.job.site = "Plant 5";
    changed.job.workOrder = "WO-7";
    changed.reference.certificate = "C-99";
    changed.controllerTags["TQ 8400"] = "new tag";
    changed.controllerTags["other"] = "T-2";
    ASSERT_EQ(writeJobSettings(path, changed), QString());
    EXPECT_EQ(contents(path), QByteArray("\xEF\xBB\xBF; Issued by the calibration laboratory\r\n"
                                         "[Job]\r\n"
                                         "Site=Plant 5\r\n"
                                         "lab_code=42\r\n"
                                         "customer = \"  Spaced Customer  \"\r\n"
                                         "organisation=\r\n"
                                         "address=\r\n"
                                         "work_order=WO-7\r\n"
                                         "procedure=\r\n"
                                         "ambient=\r\n"
                                         "; reference data follows\r\n"
                                         "\r\n"
                                         "[lab]\r\n"
                                         "owner=J. S\xC3\xB8rensen\r\n"
                                         "[reference]\r\n"
                                         "due_date=2027-01-31\r\n"
                                         "description=\r\n"
                                         "serial=\r\n"
                                         "certificate=C-99\r\n"
                                         "laboratory=\r\n"
                                         "uncertainty_volts=\r\n"
                                         "[controllers]\r\n"
                                         "TQ 8400=new tag\r\n"
                                         "other=T-2\r\n"));
    // Written again unchanged, not a byte moves.
    const QByteArray before = contents(path);
    ASSERT_EQ(writeJobSettings(path, readJobSettings(path).settings), QString());
    EXPECT_EQ(contents(path), before);
    expectOnlyTheJobFile();
}

TEST_F(JobFileTest, FilesThatCannotBeReadOrWrittenAreReportedAndLeftAlone) {
    JobSettings settings;
    settings.job.site = "Plant 4";
    const QByteArray notUtf8("[job]\nsite=Caf\xE9\n");
    struct Case {
        const char* what;
        std::function<void()> prepare;
        QString readError;  // in the reason for reading; empty: reads
        QString writeError; // in the reason for writing
    };
    const QString missingDirectory = dir.filePath("no such folder/tq8400-cal.ini");
    const Case cases[] = {
        {"not UTF-8", [&] { put(path, notUtf8); }, "is not UTF-8 text", "is not UTF-8 text"},
        {"read-only",
         [&] {
             put(path, "[job]\nsite=Kept\n");
             QFile::setPermissions(path, QFile::ReadOwner);
         },
         {},
         platform::errorText(EACCES)},
        {"disk full",
         [&] {
             put(path, "[job]\nsite=Kept\n");
             platform::setFileFailureForTests(platform::FileStep::Write, ENOSPC);
         },
         {},
         platform::errorText(ENOSPC)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        const QByteArray before = contents(path);
        const JobSettingsRead read = readJobSettings(path);
        if (!c.readError.isEmpty()) {
            EXPECT_TRUE(read.error.contains(c.readError)) << read.error.toStdString();
            EXPECT_TRUE(read.error.contains(QDir::toNativeSeparators(path)));
        } else {
            EXPECT_EQ(read.error, QString());
        }
        const QString error = writeJobSettings(path, settings);
        EXPECT_TRUE(error.contains(c.writeError)) << error.toStdString();
        EXPECT_TRUE(error.contains(QDir::toNativeSeparators(path))) << error.toStdString();
        EXPECT_EQ(contents(path), before);
        expectOnlyTheJobFile();
        platform::setFileFailureForTests(platform::FileStep::Write, 0);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }

    const QString error = writeJobSettings(missingDirectory, settings);
    EXPECT_TRUE(error.contains(QDir::toNativeSeparators(missingDirectory))) << error.toStdString();
    EXPECT_FALSE(QFile::exists(missingDirectory));

    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.ini"));
    const QString folder = dir.filePath("folder.ini");
    EXPECT_TRUE(readJobSettings(folder).error.contains(platform::errorText(EISDIR)));
    EXPECT_TRUE(writeJobSettings(folder, settings).contains(platform::errorText(EISDIR)));
}

TEST(RecordsJobChanges, EachChangedSettingWithItsKeyAsInTheFile) {
    JobSettings before;
    before.job.site = "Plant 4";
    before.reference.dueDate = "2026-01-31";
    before.controllerTags = {{"b id", "T-1"}, {"c", "T-3"}, {"d", ""}};
    JobSettings after = before;
    after.job.site = "Plant 5";
    after.reference.dueDate = "2027-01-31";
    after.controllerTags = {{"a", "T-0"}, {"b id", "T-2"}, {"d", ""}, {"e", ""}};

    const std::vector<JobChange> changes = jobChanges(before, after);
    struct Expected {
        const char* key;
        const char* before;
        const char* after;
    };
    const Expected expected[] = {
        {"job/site", "Plant 4", "Plant 5"}, {"reference/due_date", "2026-01-31", "2027-01-31"},
        {"controllers/a", "", "T-0"},       {"controllers/b%20id", "T-1", "T-2"},
        {"controllers/c", "T-3", ""},
    };
    ASSERT_EQ(changes.size(), std::size(expected));
    for (std::size_t i = 0; i < changes.size(); ++i) {
        SCOPED_TRACE(expected[i].key);
        EXPECT_EQ(changes[i].key, expected[i].key);
        EXPECT_EQ(changes[i].before, expected[i].before);
        EXPECT_EQ(changes[i].after, expected[i].after);
    }
    EXPECT_TRUE(jobChanges(after, after).empty());
}

TEST_F(JobFileTest, StoreWritesFirstAndTellsEachChangeOnce) {
    JobStore store;
    ASSERT_EQ(store.load(path), QString());
    std::vector<std::vector<JobChange>> told;
    QObject::connect(&store, &JobStore::changed,
                     [&told](const std::vector<JobChange>& changes) { told.push_back(changes); });

    // Nothing changed: no file, nothing told.
    EXPECT_EQ(store.update(store.settings()), QString());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(told.empty());

    JobSettings settings;
    settings.job.customer = "Acme";
    EXPECT_EQ(store.update(settings), QString());
    ASSERT_EQ(told.size(), 1u);
    ASSERT_EQ(told[0].size(), 1u);
    EXPECT_EQ(told[0][0].key, "job/customer");
    EXPECT_EQ(readJobSettings(path).settings.job.customer, "Acme");

    // A write that fails keeps the old settings and tells nothing.
    platform::setFileFailureForTests(platform::FileStep::Write, EIO);
    settings.job.customer = "Other";
    EXPECT_TRUE(store.update(settings).contains(platform::errorText(EIO)));
    platform::setFileFailureForTests(platform::FileStep::Write, 0);
    EXPECT_EQ(store.settings().job.customer, "Acme");
    EXPECT_EQ(told.size(), 1u);
    EXPECT_EQ(readJobSettings(path).settings.job.customer, "Acme");

    // Another store reading the same file finds what this one wrote.
    JobStore again;
    ASSERT_EQ(again.load(path), QString());
    EXPECT_EQ(again.settings().job.customer, "Acme");
}

} // namespace
