// The reports' pass, pictures and display strings, and their pages as PDF files read back with poppler's tools.
#include "operations/ReportOperations.h"

#include "base/DatePicture.h"
#include "base/Dates.h"
#include "operations/ReportPainter.h"
#include "session/Login.h"
#include "support/Mounts.h"
#include "support/PdfText.h"
#include "support/TestStore.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zendrel;

namespace {

int32_t day(int y, int m, int d) {
    return dayNumber(QDate(y, m, d));
}

int32_t clockAt(int h, int m) {
    return (h * 3600 + m * 60) * 100 + 1;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Keeps the bands a pass gives, failing after `limit` of them when one is set.
class Bands final : public ReportSink {
public:
    bool detail(const ReportDetail& band) override {
        if (limit >= 0 && static_cast<int>(bands.size()) >= limit) {
            return false;
        }
        bands.push_back(band);
        return true;
    }
    QStringList first() const {
        QStringList l;
        for (const auto& b : bands) {
            l << (b.cells.isEmpty() ? b.fields.front().text : b.cells.front());
        }
        return l;
    }
    std::vector<ReportDetail> bands;
    int limit = -1;
};

class ReportTest : public ::testing::Test {
protected:
    test::TestStore ts;
    QTemporaryDir out;
    UserRecord ann;

    void SetUp() override {
        Table<UserRecord> users(ts.store());
        ann = users.prime();
        ann.name = "Ann";
        ann.password = ann.confirmPassword = kNotRequired;
        ASSERT_TRUE(users.insert(ann));
    }
    PasswordRecord add(PasswordRecord e) {
        Table<PasswordRecord> entries(ts.store());
        e.id = entries.prime().id;
        EXPECT_TRUE(entries.insert(e));
        return e;
    }
    // Three entries of Ann, stored under three spellings of her name, and one of Bob.
    void addFixedEntries() {
        PasswordRecord bank =
            test::entry("ANN", "Bank of the Northern Territories Ltd", "ann.smith", "https://bank.example");
        bank.password = "correct-horse-battery-42";
        bank.notes = "Branch 12\nSecond line of the notes";
        bank.moreNotes = "PIN in the drawer";
        bank.lastChangeDate = day(1959, 10, 31);
        bank.lastChangeTime = clockAt(17, 30);
        bank.monitor = 1;
        bank.secondsToWait = 3;
        bank.windowTitleToLocate = "Bank - Login";
        bank.doNotRepeatSeconds = 60;
        bank.paste = "[Name][Tab][Password][Enter]";
        add(bank);
        PasswordRecord mail = test::entry("ann", "Mail", "ann", "");
        mail.password = "pw2";
        add(mail);
        PasswordRecord cloud = test::entry("Ann", "Cloud", "a", "https://cloud.example");
        cloud.password = "p3";
        cloud.lastChangeDate = day(2005, 1, 7);
        cloud.lastChangeTime = clockAt(9, 5);
        add(cloud);
        add(test::entry("Bob", "Bob's bank", "bob", "https://bob.example"));
    }
    std::unique_ptr<ReportOperations::Pass> start(ReportKind kind, const ReportOptions& options = {}) {
        ReportOperations reports(ts.store(), ts.messages());
        return reports.start(kind, ann, options, day(2026, 12, 8), clockAt(12, 0));
    }
    // The report as the command line writes it: its PDF file's path.
    QString pdf(ReportKind kind, const ReportOptions& options = {}, const QString& name = "report.pdf") {
        auto pass = start(kind, options);
        const QString path = QDir(out.path()).filePath(name);
        const auto pages = printReportToPdf(*pass, path, ts.store(), ts.messages(), ReportStrings(),
                                            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                                        QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        EXPECT_TRUE(pages.has_value());
        EXPECT_EQ(test::pdfPages(path), pages.value_or(-2));
        return path;
    }
};

} // namespace

TEST(ReportStrings, EveryKeyHasItsDefaultAndTheFileTakesWholeLinesCommasAndAll) {
    QTemporaryDir dir;
    const QString ini = QDir(dir.path()).filePath("CPCSRPTS.INI");
    const ReportStrings none = ReportStrings::read(ini);
    EXPECT_EQ(ReportStrings::defaults().size(), 23u);
    for (const auto& [key, value] : ReportStrings::defaults()) {
        EXPECT_EQ(none.text(key), QString(value).replace('|', '\n')) << key.toStdString();
    }
    EXPECT_EQ(none.text("CancelPrvwPartialText"), "Report Cancellation Requested!\n\nPreview Report generated so far?");

    struct Case {
        const char* file;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"[DISPLAY STRINGS 2.0]\r\nProgWinTitlePrnt=Printing, please wait\r\n", "ProgWinTitlePrnt",
         "Printing, please wait"},
        {"[display strings 2.0]\nprogwintitleprvw = Building \n", "ProgWinTitlePrvw", "Building"},
        {"[DISPLAY STRINGS 2.0]\nNothingToPrntText=Nothing|at all\n", "NothingToPrntText", "Nothing\nat all"},
        {"[DISPLAY STRINGS 2.0]\nAskPrvwDialogText=\"Look first, then print?\"\n", "AskPrvwDialogText",
         "Look first, then print?"},
        {"[Other]\nProgWinTitlePrnt=Elsewhere\n[DISPLAY STRINGS 2.0]\n", "ProgWinTitlePrnt", "Printing Report"},
        {"[DISPLAY STRINGS 2.0]\nProgWinTitlePrnt=First\nProgWinTitlePrnt=Second\n", "ProgWinTitlePrnt", "First"},
        {"[DISPLAY STRINGS 2.0]\n;ProgWinTitlePrnt=Comment\nProgWinUsrText=\n", "ProgWinTitlePrnt", "Printing Report"},
        {"[DISPLAY STRINGS 2.0]\nProgWinTitlePrnt=Bad\x01 byte\n", "ProgWinTitlePrnt", "Bad byte"},
        {"\x00\xff\xfe[DISPLAY STRINGS\x00\n=\n==\n[", "ProgWinTitlePrnt", "Printing Report"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        writeFile(ini, QByteArray(c.file, static_cast<qsizetype>(std::char_traits<char>::length(c.file))));
        EXPECT_EQ(ReportStrings::read(ini).text(c.key), QString::fromUtf8(c.expected));
    }
    // A directory in the file's place gives the defaults.
    QFile::remove(ini);
    ASSERT_TRUE(QDir().mkpath(ini));
    EXPECT_EQ(ReportStrings::read(ini).text("ProgWinTitlePrnt"), "Printing Report");
}

TEST(ReportStrings, AFileThatIsTheStoresOwnIsNeverOpened) {
    test::TestStore ts;
    Table<UserRecord> users(ts.store());
    ASSERT_EQ(users.count(), 0);
    ASSERT_TRUE(QFile::link(ts.store().path(tables::users()), ts.file("CPCSRPTS.INI")));
    EXPECT_EQ(ReportStrings::load(ts.store()).text("NothingToPrntText"), "Nothing to Print.");
    UserRecord u = users.prime();
    u.name = "Still writable";
    EXPECT_TRUE(users.insert(u));
}

TEST(ReportPictures, ValuesAreCutToTheirPicturesAndZeroIsBlankWhereThePictureSaysSo) {
    const int32_t halloween = day(1959, 10, 31);
    struct Case {
        int64_t value;
        const char* picture;
        const char* code;
        QString expected;
    };
    const Case cases[] = {
        {0, "n3B", "", ""},
        {7, "n3B", "", "7"},
        {0, "n_6B", "", ""},
        {3600, "n_6B", "", "3600"},
        {0, "n3", "", "0"},
        {halloween, "d4", "", "October 31, 1959"},
        {halloween, "d4b", "", "October 31, 1959"},
        {halloween, "D3", "", "OCT 31,1959"},
        {halloween, "d4", "d8", "31 OCT 1959"},
        {halloween, "D3", "d6", "31/10/1959"},
        {halloween, "d4", "d9", "October 31, 1959"}, // not a code: the report keeps its own
        {halloween, "d4", "  ", "October 31, 1959"},
        {halloween, "d4", "d18", formatDate(halloween, "d18")},
        {0, "d4", "", ""}, // no date is blank under every picture
        {0, "d4b", "d18", ""},
        {0, "t3", "", ""},
        {clockAt(17, 30), "t3", "", "5:30PM"},
        {clockAt(0, 5), "T3", "", "12:05AM"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.picture) + " " + c.code);
        EXPECT_EQ(ReportOperations::pictureText(c.value, c.picture, c.code), c.expected);
    }
    EXPECT_EQ(ReportOperations::pictureText(QString(40, 'x'), "s30"), QString(30, 'x'));
    EXPECT_EQ(ReportOperations::pictureText("short  ", "s30"), "short");
    EXPECT_EQ(ReportOperations::pictureText(QString(200, 'y'), "s128").size(), 128);
}

TEST_F(ReportTest, EachReportReadsTheUsersEntriesWhateverTheCaseOfHerNameInItsOwnOrder) {
    addFixedEntries();
    struct Case {
        ReportKind kind;
        QStringList first;
    };
    const Case cases[] = {
        {ReportKind::Service, {"Bank of the Northern Territori", "Cloud", "Mail"}},
        {ReportKind::Url, {"Mail", "Bank of the Northern Territori", "Cloud"}},
        {ReportKind::Name, {"Cloud", "Mail", "Bank of the Northern Territori"}},
        {ReportKind::DateChanged, {"Mail", "Bank of the Northern Territori", "Cloud"}},
        {ReportKind::Master, {"Bank of the Northern Territori", "Cloud", "Mail"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        auto pass = start(c.kind);
        ASSERT_TRUE(pass->begin());
        Bands bands;
        EXPECT_FALSE(pass->slice(bands));
        EXPECT_TRUE(pass->completed());
        EXPECT_EQ(bands.first(), c.first);
        EXPECT_EQ(pass->total(), 4); // the progress bar counts the whole table
    }
    auto service = start(ReportKind::Service);
    service->begin();
    Bands b;
    service->slice(b);
    EXPECT_EQ(b.bands[0].cells, QStringList({"Bank of the Northern Territori", "https://bank.example", "ann.smith",
                                             "correct-horse-batter"}));
    EXPECT_EQ(b.bands[0].blocks, QStringList{"Branch 12\nSecond line of the notes"});
    auto name = start(ReportKind::Name);
    name->begin();
    Bands n;
    name->slice(n);
    EXPECT_EQ(n.bands[2].cells[3], "correct-horse-battery-42");
    EXPECT_EQ(name->layout().heading, "Passwords by Name");
    EXPECT_EQ(name->layout().captions, QStringList({"Service", "URL", "Name", "Password", "Notes"}));
    auto date = start(ReportKind::DateChanged);
    EXPECT_EQ(date->layout().captions, QStringList({"Service", "Name", "Last Change Date", "Time"}));
    date->begin();
    Bands d;
    date->slice(d);
    EXPECT_EQ(d.bands[0].cells, QStringList({"Mail", "ann", "", ""}));
    EXPECT_EQ(d.bands[1].cells,
              QStringList({"Bank of the Northern Territori", "ann.smith", "October 31, 1959", "5:30PM"}));
}

TEST_F(ReportTest, TheMasterReportCarriesEveryFieldWithBlanksForZeroAndItsHeadingWithoutTrailingBlanks) {
    addFixedEntries();
    ann.name = "Ann   ";
    auto pass = start(ReportKind::Master);
    EXPECT_EQ(pass->layout().heading, "Master Password Report for Ann");
    EXPECT_FALSE(pass->layout().headingInReportFont);
    EXPECT_EQ(pass->layout().pageCaption, "Page:");
    EXPECT_EQ(pass->layout().startedDate, "DEC 8,2026");
    EXPECT_EQ(pass->layout().startedTime, "12:00PM");
    ASSERT_TRUE(pass->begin());
    Bands b;
    pass->slice(b);
    ASSERT_EQ(b.bands.size(), 3u);
    const ReportDetail& bank = b.bands[0];
    EXPECT_EQ(bank.fields[1].caption, "URL");
    EXPECT_EQ(bank.fields[3].text, "correct-horse-battery-42");
    EXPECT_EQ(bank.changedDate, "October 31, 1959");
    EXPECT_EQ(bank.changedTime, "5:30PM");
    EXPECT_TRUE(bank.monitor);
    EXPECT_EQ(bank.wait, "3");
    EXPECT_EQ(bank.noRepeat, "60");
    EXPECT_EQ(bank.title, "Bank - Login");
    EXPECT_EQ(bank.send, "[Name][Tab][Password][Enter]");
    EXPECT_EQ(bank.blocks, QStringList({"Branch 12\nSecond line of the notes", "PIN in the drawer"}));
    const ReportDetail& mail = b.bands[2];
    EXPECT_EQ(mail.changedDate, "");
    EXPECT_EQ(mail.changedTime, "");
    EXPECT_EQ(mail.wait, "");
    EXPECT_EQ(mail.noRepeat, "");
    EXPECT_FALSE(mail.monitor);
    // The options' date code reaches the footer too.
    auto coded = start(ReportKind::Master, ReportOptions{"d2", {}});
    EXPECT_EQ(coded->layout().startedDate, "12/08/2026");
}

TEST_F(ReportTest, ThePassGoesTwentyFiveEntriesATickAndCountsAgainstTheWholeTable) {
    for (int i = 0; i < 60; ++i) {
        add(test::entry("Ann", QStringLiteral("S%1").arg(i, 3, 10, QLatin1Char('0')), "n"));
    }
    for (int i = 0; i < 40; ++i) {
        add(test::entry("Bob", QStringLiteral("B%1").arg(i), "n"));
    }
    auto pass = start(ReportKind::Service);
    const ReportStrings strings;
    EXPECT_EQ(pass->progressText(strings), "  1% Completed");
    ASSERT_TRUE(pass->begin());
    Bands b;
    EXPECT_TRUE(pass->slice(b));
    EXPECT_EQ(pass->printed(), 25);
    EXPECT_EQ(pass->progressText(strings), " 26% Completed");
    EXPECT_TRUE(pass->slice(b));
    EXPECT_EQ(pass->printed(), 50);
    EXPECT_FALSE(pass->slice(b));
    EXPECT_EQ(pass->printed(), 60);
    EXPECT_TRUE(pass->completed());
    ASSERT_EQ(b.bands.size(), 60u);
    EXPECT_EQ(b.bands[59].cells[0], "S059");
    EXPECT_FALSE(pass->slice(b));

    // A sink that fails ends the pass, which then is not complete; so does a cancel.
    auto failing = start(ReportKind::Service);
    failing->begin();
    Bands few;
    few.limit = 30;
    EXPECT_TRUE(failing->slice(few));
    EXPECT_FALSE(failing->slice(few));
    EXPECT_FALSE(failing->completed());
    EXPECT_EQ(failing->printed(), 30);
    auto cancelled = start(ReportKind::Service);
    cancelled->begin();
    cancelled->cancel();
    EXPECT_FALSE(cancelled->slice(b));
    EXPECT_FALSE(cancelled->completed());
}

TEST_F(ReportTest, AUserWithoutEntriesHasNothingToPrint) {
    add(test::entry("Bob", "Bank", "bob"));
    auto pass = start(ReportKind::Master);
    EXPECT_FALSE(pass->begin());
    EXPECT_TRUE(pass->completed());
    EXPECT_FALSE(pass->stopped());
    const QString path = QDir(out.path()).filePath("none.pdf");
    EXPECT_FALSE(printReportToPdf(*start(ReportKind::Service), path, ts.store(), ts.messages(), ReportStrings()));
    ASSERT_EQ(ts.messages().shown.size(), 1);
    EXPECT_EQ(ts.messages().shown[0].title, "NOTE...");
    EXPECT_EQ(ts.messages().shown[0].text, "Nothing to Print.");
    EXPECT_FALSE(QFile::exists(path));
}

// ---- pages ----

TEST_F(ReportTest, TheFourListReportsPrintHeadingsCaptionsCutValuesNotesAndPageNumbers) {
    addFixedEntries();
    const QString serviceText = test::pdfText(pdf(ReportKind::Service));
    const QStringList service = test::pdfLines(serviceText);
    ASSERT_FALSE(service.isEmpty());
    SCOPED_TRACE(serviceText.toStdString());
    EXPECT_EQ(service.first(), "Passwords by Service");
    EXPECT_EQ(service[1], "Service URL Name Password");
    EXPECT_EQ(service[2], "Notes");
    // Cells wrap within their columns; the values are cut to their pictures.
    EXPECT_EQ(service[3], "Bank of the Northern https://bank.example ann.smith correct-horse-bat");
    EXPECT_EQ(service[4], "Territori ter");
    EXPECT_EQ(service[5], "Branch 12");
    EXPECT_EQ(service[6], "Second line of the notes");
    EXPECT_EQ(service[7], "Cloud https://cloud.example a p3");
    EXPECT_EQ(service[8], "Mail ann pw2");
    EXPECT_EQ(service.last(), "Page 1");
    EXPECT_FALSE(serviceText.contains("Bob"));
    EXPECT_FALSE(serviceText.contains("Territories"));
    EXPECT_FALSE(serviceText.contains("battery"));

    const QStringList url = test::pdfLines(test::pdfText(pdf(ReportKind::Url)));
    EXPECT_EQ(url.first(), "Passwords by URL");
    EXPECT_EQ(url[3], "Mail ann pw2");
    const QString nameText = test::pdfText(pdf(ReportKind::Name));
    SCOPED_TRACE(nameText.toStdString());
    const QStringList name = test::pdfLines(nameText);
    EXPECT_EQ(name.first(), "Passwords by Name");
    EXPECT_EQ(name[5], "Bank of the Northern https://bank.example ann.smith correct-horse-battery-42");

    const QStringList date = test::pdfLines(test::pdfText(pdf(ReportKind::DateChanged)));
    EXPECT_EQ(date.first(), "Passwords by Last Date Changed");
    EXPECT_EQ(date[1], "Service Name Last Change Date Time");
    EXPECT_EQ(date[2], "Mail ann"); // no date: blank, never the first day of the calendar
    EXPECT_EQ(date[3], "Bank of the Northern Territori ann.smith October 31, 1959 5:30PM");
    EXPECT_EQ(date[4], "Cloud a January 7, 2005 9:05AM");
    EXPECT_EQ(date.last(), "Page 1");
    EXPECT_FALSE(date.join(' ').contains("1800"));

    // "Windows Default 2": the system's long date.
    const QString longDates = test::pdfText(pdf(ReportKind::DateChanged, ReportOptions{"d18", {}}, "long.pdf"));
    EXPECT_EQ(test::pdfLines(longDates)[3],
              "Bank of the Northern Territori ann.smith " + formatDate(day(1959, 10, 31), "d18") + " 5:30PM")
        << longDates.toStdString();
}

TEST_F(ReportTest, TheMasterReportPrintsEveryFieldAndItsFooterAndNothingForAZeroDate) {
    addFixedEntries();
    const QString text = test::pdfText(pdf(ReportKind::Master));
    SCOPED_TRACE(text.toStdString());
    const QStringList lines = test::pdfLines(text);
    ASSERT_GT(lines.size(), 20);
    EXPECT_EQ(lines.first(), "Master Password Report for Ann");
    const QString all = lines.join('\n');
    for (const char* expected :
         {"Service Bank of the Northern Territori", "URL https://bank.example", "Name ann.smith",
          "Password correct-horse-battery-42", "Last Changed: October 31, 1959 5:30PM", "Settings for Send: Monitor",
          "Wait: 3", "No Repeat: 60", "Title: Bank - Login", "Send: [Name][Tab][Password][Enter]", "Branch 12",
          "Second line of the notes", "PIN in the drawer", "Service Mail", "DEC 8,2026 12:00PM Page: 1"}) {
        EXPECT_TRUE(lines.contains(QString::fromLatin1(expected))) << expected << "\n" << all.toStdString();
    }
    // Mail has no change date: the line holds its caption alone.
    const qsizetype mail = lines.indexOf("Service Mail");
    ASSERT_GT(mail, 0);
    EXPECT_EQ(lines[mail + 4], "Last Changed:");
    EXPECT_FALSE(all.contains("1800"));
}

TEST_F(ReportTest, ALongNoteWithoutBlanksContinuesOverPagesAndNothingOfItIsLost) {
    QString note;
    for (int i = 0; i < 1000; ++i) {
        note += QStringLiteral("%1").arg(i % 10).repeated(10);
    }
    ASSERT_EQ(note.size(), 10000);
    PasswordRecord e = test::entry("Ann", "Long", "n");
    e.notes = note;
    add(e);
    // Text the glyph tables do not cover goes through the text engine, in the same places.
    add(test::entry("Ann", "Unicode", QStringLiteral("Пароль Κωδικός ñ")));
    for (int i = 0; i < 30; ++i) {
        add(test::entry("Ann", QStringLiteral("Z%1").arg(i, 2, 10, QLatin1Char('0')), "n"));
    }
    const QString path = pdf(ReportKind::Service);
    EXPECT_GE(test::pdfPages(path), 2);
    const QString text = test::pdfText(path);
    QString found;
    for (const QString& line : test::pdfLines(text)) {
        if (QRegularExpression("^[0-9]{10,}$").match(line).hasMatch()) {
            found += line;
        }
    }
    EXPECT_EQ(found, note);
    EXPECT_TRUE(text.contains("Page 2"));
    EXPECT_TRUE(test::pdfLines(text).contains(QStringLiteral("Unicode Пароль Κωδικός ñ"))) << text.toStdString();
    EXPECT_TRUE(test::pdfLines(text).contains("Z29 n"));
}

TEST_F(ReportTest, TheReportFontReachesEveryControlButTheMasterHeading) {
    addFixedEntries();
    const ReportOptions mono{{}, ReportFont::Texts{"DejaVu Sans Mono", "", "", ""}};
    const QRegularExpression sansBold("^DejaVuSans-Bold\\s", QRegularExpression::MultilineOption);
    const QString master = test::pdfFonts(pdf(ReportKind::Master, mono, "master.pdf"));
    EXPECT_TRUE(master.contains("DejaVuSansMono")) << master.toStdString();
    EXPECT_TRUE(sansBold.match(master).hasMatch()) << master.toStdString(); // the heading keeps its own
    const QString list = test::pdfFonts(pdf(ReportKind::Service, mono, "service.pdf"));
    EXPECT_TRUE(list.contains("DejaVuSansMono")) << list.toStdString();
    EXPECT_FALSE(
        QRegularExpression("^DejaVuSans(-Bold)?\\s", QRegularExpression::MultilineOption).match(list).hasMatch())
        << list.toStdString();
    // Without a typeface the other three are not applied; absurd values and an unknown face change nothing.
    for (const ReportFont::Texts& font :
         {ReportFont::Texts{"", "30", "255", "4796"}, ReportFont::Texts{"No Such Face", "99999", "-5", "x"}}) {
        const QString path = pdf(ReportKind::Service, ReportOptions{{}, font}, "plain.pdf");
        const QString fonts = test::pdfFonts(path);
        EXPECT_TRUE(sansBold.match(fonts).hasMatch()) << fonts.toStdString();
        EXPECT_EQ(test::pdfLines(test::pdfText(path))[7], "Cloud https://cloud.example a p3");
    }
}

TEST_F(ReportTest, APdfThatCannotBeWrittenIsAMessageAndLeavesNoFile) {
    addFixedEntries();
    auto refused = [&](const QString& path) {
        ts.messages().shown.clear();
        auto pass = start(ReportKind::Service);
        EXPECT_FALSE(printReportToPdf(*pass, path, ts.store(), ts.messages(), ReportStrings()));
        EXPECT_EQ(ts.messages().titles(), QStringList{"File Access Error"});
        return ts.messages().shown.value(0).text;
    };
    EXPECT_TRUE(refused(QDir(out.path()).filePath("missing/report.pdf")).contains("could not be opened"));
    EXPECT_TRUE(refused("/dev/full").contains("Not a regular file"));
    EXPECT_TRUE(refused(ts.store().path(tables::passwords())).contains("own data files"));
    EXPECT_TRUE(QFile::exists(ts.store().path(tables::passwords())));
    EXPECT_EQ(Table<PasswordRecord>(ts.store()).count(), 4);

    test::FullDisk disk;
    if (disk.ok()) {
        disk.fill();
        const QString full = QDir(disk.path()).filePath("report.pdf");
        EXPECT_TRUE(refused(full).contains("could not be"));
        EXPECT_FALSE(QFile::exists(full));
    }

    // A file written holds passwords: only its owner reads it, also where an older file stood.
    const QString path = QDir(out.path()).filePath("old.pdf");
    writeFile(path, "old");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    pdf(ReportKind::Service, {}, "old.pdf");
    EXPECT_EQ(QFileInfo(path).permissions(),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
}

TEST_F(ReportTest, PagesKeptForAPreviewPaintWhatPagesStreamedToTheFilePaint) {
    addFixedEntries();
    add(test::entry("Ann", "Unicode", QStringLiteral("Пароль Κωδικός ñ")));
    const QString streamed = pdf(ReportKind::Master);

    auto pass = start(ReportKind::Master);
    ASSERT_TRUE(pass->begin());
    const QString keptPath = QDir(out.path()).filePath("kept.pdf");
    auto file = ReportPdfFile::create(keptPath, &ts.store(), ts.messages(),
                                      QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                                  QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    ASSERT_TRUE(file);
    PageList list;
    ReportPainter painter(pass->layout(), file->device(), list);
    while (pass->slice(painter)) {
    }
    ASSERT_TRUE(painter.finish());
    ASSERT_FALSE(list.pages.empty());
    for (const ReportPage& page : list.pages) {
        ASSERT_TRUE(file->output().paint(page));
    }
    ASSERT_TRUE(file->finish());
    EXPECT_EQ(test::pdfText(keptPath), test::pdfText(streamed));
    const QStringList texts = list.pages.front().texts();
    EXPECT_TRUE(texts.contains(QStringLiteral("Пароль Κωδικός ñ"))) << texts.join('|').toStdString();
    EXPECT_TRUE(texts.contains("correct-horse-battery-42"));
    // A kept page holds its texts without room to spare.
    EXPECT_LT(list.pages.front().text.capacity(), list.pages.front().text.size() + 16);
}
