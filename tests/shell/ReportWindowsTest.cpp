// The reports as the main program runs them, offscreen, with scripted messages and file choices; a PDF printer
// stands in for a printer.
#include "shell/ReportWindows.h"

#include "framework/WindowPositions.h"
#include "session/Login.h"
#include "support/Mounts.h"
#include "support/PdfText.h"
#include "support/TestStore.h"
#include "support/WindowHelpers.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

using namespace zendrel;

namespace {

using test::whenModal;

struct Shown {
    QString title;
    QString text;
    Buttons buttons;
    Answer defaultAnswer;
    bool operator==(const Shown&) const = default;
};

void PrintTo(const Shown& s, std::ostream* os) {
    *os << s.title.toStdString() << " / " << s.text.toStdString() << " / " << static_cast<int>(s.buttons) << " / "
        << static_cast<int>(s.defaultAnswer);
}

// Acts on the next modal window of the given kind once it is the one on top.
template <class T> void whenShown(std::function<void(T*)> act, int attempts = 2000) {
    QTimer::singleShot(10, [act, attempts] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
            act(w);
        } else if (attempts > 0) {
            whenShown<T>(act, attempts - 1);
        } else {
            ADD_FAILURE() << "the " << T::staticMetaObject.className() << " never opened";
        }
    });
}

// The preview's own "Print" command, as its tool bar offers it.
QAction* printCommand(QPrintPreviewDialog* preview) {
    for (QAction* a : preview->findChildren<QAction*>()) {
        if (a->text() == "Print") {
            return a;
        }
    }
    return nullptr;
}

// Whether anything opened a file while `act` ran.
bool openedDuring(const QString& path, const std::function<void()>& act) {
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0 || inotify_add_watch(fd, QFile::encodeName(path).constData(), IN_OPEN) < 0) {
        ADD_FAILURE() << "cannot watch " << path.toStdString();
        if (fd >= 0) {
            ::close(fd);
        }
        return true;
    }
    act();
    char events[4096];
    const bool opened = ::read(fd, events, sizeof(events)) > 0;
    ::close(fd);
    return opened;
}

const Shown kPreviewQuestion{"Preview", "Do you wish to PREVIEW this Report?", Buttons::YesNoCancel, Answer::Yes};
const Shown kSure{"Question", "Are you sure you want to CANCEL this Report?", Buttons::YesNo, Answer::No};
const Shown kPartial{"Question", "Report Cancellation Requested!\n\nPreview Report generated so far?",
                     Buttons::YesNoIgnore, Answer::Yes};

class ReportWindowsTest : public ::testing::Test {
protected:
    test::TestStore ts;
    QTemporaryDir out;
    QString printed = QDir(out.path()).filePath("printer.pdf");
    ScriptedFileDialogs dialogs;
    std::unique_ptr<ReportWindows> windows;
    QStringList progressTitles; // the progress window's title at each tick
    int ticks = 0;
    // Called on a tick: lets a test act between slices.
    std::function<void(QWidget* progress)> onTick;

    void SetUp() override {
        Table<UserRecord> users(ts.store());
        UserRecord ann = users.prime();
        ann.name = "Ann";
        ann.password = ann.confirmPassword = kNotRequired;
        ASSERT_TRUE(users.insert(ann));
        windows = std::make_unique<ReportWindows>(ts.store(), ts.messages(), &dialogs, ts.clock(), nullptr);
        windows->printer().setOutputFormat(QPrinter::PdfFormat);
        windows->printer().setOutputFileName(printed);
        windows->setActivity([this] {
            ++ticks;
            QWidget* w = QApplication::activeModalWidget();
            progressTitles << (w ? w->windowTitle() : QString());
            if (onTick) {
                onTick(w);
            }
        });
    }
    void addEntries(int n, const QString& user = "Ann") {
        Table<PasswordRecord> entries(ts.store());
        for (int i = 0; i < n; ++i) {
            PasswordRecord e = test::entry(user, QStringLiteral("Service %1").arg(i, 3, 10, QLatin1Char('0')), "name");
            e.notes = QStringLiteral("Notes of entry %1, long enough to need a line of their own on the page.").arg(i);
            e.id = entries.prime().id;
            ASSERT_TRUE(entries.insert(e));
        }
    }
    QList<Shown> shown() {
        QList<Shown> l;
        for (const Message& m : ts.messages().shown) {
            l << Shown{m.title, m.text, m.buttons, m.defaultAnswer};
        }
        return l;
    }
    // The pages of the whole report as a preview would hold them.
    int fullPages(ReportKind kind) {
        ReportOperations reports(ts.store(), ts.messages());
        auto pass = reports.start(kind, *Table<UserRecord>(ts.store()).readPhysical(0, 1).begin(), {},
                                  ts.clock().today(), ts.clock().clock());
        pass->begin();
        PageList list;
        ReportPainter painter(pass->layout(), windows->printer(), list);
        while (pass->slice(painter)) {
        }
        painter.finish();
        return static_cast<int>(list.pages.size());
    }
    // Acts on the preview once it shows (the progress window comes first): its page count, then it is closed.
    void closePreview(int* pageCount, int* listed = nullptr, int attempts = 3000) {
        QTimer::singleShot(10, [this, pageCount, listed, attempts] {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
            if (!preview) {
                if (attempts > 0) {
                    closePreview(pageCount, listed, attempts - 1);
                } else {
                    QWidget* w = QApplication::activeModalWidget();
                    ADD_FAILURE() << "the preview never opened: " << (w ? w->metaObject()->className() : "none") << " "
                                  << (w ? w->windowTitle().toStdString() : "");
                }
                return;
            }
            EXPECT_EQ(preview->windowTitle(), "Print Preview");
            auto* pages = preview->findChild<QPrintPreviewWidget*>();
            ASSERT_TRUE(pages);
            test::waitFor([pages] { return pages->pageCount() > 0; });
            *pageCount = pages->pageCount();
            if (listed) {
                *listed = windows->previewedPages() ? static_cast<int>(windows->previewedPages()->size()) : -1;
            }
            preview->reject();
        });
    }
};

} // namespace

TEST_F(ReportWindowsTest, ThreeReportsPrintAtOnceAndTwoAskAboutThePreviewFirst) {
    addEntries(3);
    for (ReportKind kind : {ReportKind::Service, ReportKind::Url, ReportKind::Name}) {
        ts.messages().shown.clear();
        QFile::remove(printed);
        windows->run(kind, {});
        EXPECT_TRUE(shown().isEmpty());
        EXPECT_EQ(test::pdfPages(printed), 1);
        EXPECT_EQ(progressTitles.last(), "Printing Report");
    }
    for (ReportKind kind : {ReportKind::DateChanged, ReportKind::Master}) {
        // "Cancel" ends the report at once.
        ts.messages().shown.clear();
        ts.messages().answers = {Answer::Cancel};
        QFile::remove(printed);
        const int before = ticks;
        windows->run(kind, {});
        EXPECT_EQ(shown(), QList<Shown>{kPreviewQuestion});
        EXPECT_EQ(ticks, before);
        EXPECT_FALSE(QFile::exists(printed));
        // "No" prints directly, under the printing title.
        ts.messages().shown.clear();
        ts.messages().answers = {Answer::No};
        windows->run(kind, {});
        EXPECT_EQ(shown(), QList<Shown>{kPreviewQuestion});
        EXPECT_EQ(progressTitles.last(), "Printing Report");
        EXPECT_GE(test::pdfPages(printed), 1);
    }
}

TEST_F(ReportWindowsTest, AUserWithoutEntriesGetsNothingToPrintOrNothingToPreview) {
    addEntries(2, "Bob");
    windows->run(ReportKind::Name, {});
    EXPECT_EQ(shown(), QList<Shown>({{"NOTE...", "Nothing to Print.", Buttons::Ok, Answer::Ok}}));
    ts.messages().shown.clear();
    ts.messages().answers = {Answer::Yes};
    windows->run(ReportKind::Master, {});
    EXPECT_EQ(shown(), QList<Shown>({kPreviewQuestion, {"NOTE...", "Nothing to Preview.", Buttons::Ok, Answer::Ok}}));
    EXPECT_FALSE(QFile::exists(printed));
}

TEST_F(ReportWindowsTest, ThePreviewShowsEveryPageAndClosingItEndsTheReport) {
    addEntries(120);
    const int full = fullPages(ReportKind::Master);
    ASSERT_GT(full, 3);
    ts.messages().answers = {Answer::Yes};
    int pageCount = 0;
    int listed = 0;
    closePreview(&pageCount, &listed);
    windows->run(ReportKind::Master, {});
    EXPECT_EQ(shown(), QList<Shown>{kPreviewQuestion});
    EXPECT_EQ(progressTitles.last(), "Generating Report");
    EXPECT_EQ(ticks, 120 / 25 + 1);
    EXPECT_EQ(pageCount, full);
    EXPECT_EQ(listed, full);
    EXPECT_EQ(windows->previewedPages(), nullptr); // the page list went with the report
    EXPECT_FALSE(QFile::exists(printed));          // a preview prints nothing by itself
}

TEST_F(ReportWindowsTest, CancellingAPreviewedReportAsksTwiceAndShowsExactlyThePagesMadeSoFar) {
    addEntries(200);
    const int full = fullPages(ReportKind::Master);
    struct Case {
        QList<Answer> answers; // after "Yes" to the preview
        QList<Shown> questions;
        bool previewed;
        bool whole;
    };
    const Case cases[] = {
        {{Answer::Yes, Answer::Yes}, {kPreviewQuestion, kSure, kPartial}, true, false},
        {{Answer::No}, {kPreviewQuestion, kSure}, true, true},
        {{Answer::Yes, Answer::Ignore}, {kPreviewQuestion, kSure, kPartial}, true, true},
        {{Answer::Yes, Answer::No},
         {kPreviewQuestion, kSure, kPartial, {"NOTE...", "Nothing to Preview.", Buttons::Ok, Answer::Ok}},
         false,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(shown().size());
        ts.messages().shown.clear();
        ts.messages().answers = QList<Answer>{Answer::Yes} + c.answers;
        ticks = 0;
        int cancelledAt = -1;
        onTick = [&](QWidget* progress) {
            if (ticks == 3) {
                // The user presses "Cancel" between two ticks.
                QTimer::singleShot(0, progress, [progress, &cancelledAt, this] {
                    cancelledAt = ticks;
                    test::button(progress, "Cancel")->click();
                });
            }
        };
        int pageCount = -1;
        int listed = -1;
        if (c.previewed) {
            closePreview(&pageCount, &listed);
        }
        windows->run(ReportKind::Master, {});
        onTick = nullptr;
        EXPECT_EQ(shown(), c.questions);
        if (!c.previewed) {
            EXPECT_EQ(pageCount, -1);
            continue;
        }
        if (c.whole) {
            EXPECT_EQ(pageCount, full);
            continue;
        }
        // The pages of the entries printed before the cancel, the last one ended where they stop.
        ASSERT_GT(cancelledAt, 0);
        EXPECT_EQ(listed, pageCount);
        EXPECT_GT(pageCount, 0);
        EXPECT_LT(pageCount, full);
        EXPECT_EQ(ticks, cancelledAt);
    }
}

TEST_F(ReportWindowsTest, TwoCopiesOnAPrinterThatMakesNoCopiesPrintEveryPageTwice) {
    addEntries(60);
    windows->run(ReportKind::Service, {});
    const int once = test::pdfPages(printed);
    ASSERT_GE(once, 2);
    ASSERT_FALSE(windows->printer().supportsMultipleCopies());
    windows->setCopies(2);
    windows->run(ReportKind::Service, {});
    EXPECT_EQ(test::pdfPages(printed), 2 * once);
    const QString text = test::pdfText(printed);
    EXPECT_EQ(text.count("Page 1\n"), 2);
    EXPECT_EQ(text.count(QStringLiteral("Page %1\n").arg(once)), 2);
    EXPECT_EQ(windows->printer().copyCount(), 1);
}

TEST_F(ReportWindowsTest, WithoutAPrinterTheReportSaysSoAndOffersAPdfFile) {
    if (!QPrinterInfo::availablePrinters().isEmpty()) {
        GTEST_SKIP() << "this machine has a printer";
    }
    addEntries(3);
    ReportWindows noPrinter(ts.store(), ts.messages(), &dialogs, ts.clock(), nullptr);
    ASSERT_FALSE(noPrinter.hasPrinter());
    const Shown expected{"WARNING!",
                         "Warning:  No DEFAULT Printer Driver Found!\n\nPrinting may not occur correctly (or at all)\n"
                         "without a Default printer assigned.\n\nUse CONTROL PANEL (PRINTERS) to set a\nprinter as "
                         "your Default.\n\nContinue with report anyway?",
                         Buttons::YesNo, Answer::Yes};
    // "No": nothing is printed and nothing says it was.
    ts.messages().answers = {Answer::No};
    noPrinter.run(ReportKind::Service, {});
    EXPECT_EQ(shown(), QList<Shown>{expected});
    EXPECT_TRUE(dialogs.requests.isEmpty());
    // "Yes": the pages go into the PDF file chosen.
    ts.messages().shown.clear();
    const QString chosen = QDir(out.path()).filePath("chosen.pdf");
    dialogs.answers = {chosen};
    noPrinter.run(ReportKind::Service, {});
    EXPECT_EQ(shown(), QList<Shown>{expected});
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].kind, ScriptedFileDialogs::Kind::Save);
    EXPECT_EQ(dialogs.requests[0].title, "Save to what Filename?");
    EXPECT_TRUE(test::pdfText(chosen).contains("Passwords by Service"));
    // A choice cancelled writes nothing.
    ts.messages().shown.clear();
    QFile::remove(chosen);
    noPrinter.run(ReportKind::Service, {});
    EXPECT_FALSE(QFile::exists(chosen));
    EXPECT_EQ(shown().size(), 1);
}

TEST_F(ReportWindowsTest, ThePrintersFileFailingIsAMessageAndNothingIsLeft) {
    addEntries(3);
    windows->printer().setOutputFileName(QDir(out.path()).filePath("no/such/dir/report.pdf"));
    windows->run(ReportKind::Service, {});
    ASSERT_EQ(shown().size(), 1);
    EXPECT_EQ(shown()[0].title, "File Access Error");
}

TEST_F(ReportWindowsTest, DisplayStringsFromTheDataDirectoryReplaceTheTextsWhole) {
    addEntries(3);
    QFile ini(ts.file("CPCSRPTS.INI"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[DISPLAY STRINGS 2.0]\nProgWinTitlePrnt=Printing, slowly\nAskPrvwDialogText=Look first, then print?\n"
              "ProgWinPctText=% done\n");
    ini.close();
    ts.messages().answers = {Answer::No};
    windows->run(ReportKind::DateChanged, {});
    EXPECT_EQ(shown(), QList<Shown>({{"Preview", "Look first, then print?", Buttons::YesNoCancel, Answer::Yes}}));
    EXPECT_EQ(progressTitles.last(), "Printing, slowly");
}

TEST_F(ReportWindowsTest, PrintSetupWorksOnTheProgramsOnePrinterAndItsCopiesReachTheReports) {
    windows->printer().setCopyCount(3);
    whenModal([this](QWidget* w) {
        auto* dialog = qobject_cast<QPrintDialog*>(w);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->windowTitle(), "Print Setup");
        EXPECT_EQ(dialog->printer(), &windows->printer());
        dialog->accept();
    });
    windows->printSetup();
    EXPECT_EQ(windows->copies(), 3);
}

TEST_F(ReportWindowsTest, PrintingFromThePreviewWritesThroughTheReportsFileAndAFailureSaysSo) {
    addEntries(30);
    const int full = fullPages(ReportKind::Master);
    test::FullDisk disk;
    test::ReadOnlyMount readOnly(out.path());
    struct Case {
        QString path; // chosen in the print dialog
        QString said; // the message, none for a file written
    };
    std::vector<Case> cases = {
        {QDir(out.path()).filePath("from-preview.pdf"), {}},
        {out.path(), "could not be opened.  Error: Not a regular file."},
        {"/dev/full", "could not be opened.  Error: Not a regular file."},
    };
    if (readOnly.ok()) {
        cases.push_back({QDir(readOnly.path()).filePath("report.pdf"), "could not be opened.  Error: Read-only"});
    }
    if (disk.ok()) {
        disk.fill();
        cases.push_back({QDir(disk.path()).filePath("report.pdf"), "could not be written.  Error: "});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        ts.messages().shown.clear();
        ts.messages().answers = {Answer::Yes};
        windows->printer().setOutputFileName(c.path);
        const bool existed = QFileInfo::exists(c.path);
        bool printed = false;
        whenShown<QPrintPreviewDialog>([&](QPrintPreviewDialog* preview) {
            whenShown<QPrintDialog>([&](QPrintDialog* dialog) {
                EXPECT_EQ(dialog->printer(), &windows->printer());
                dialog->accept();
                printed = dialog->result() == QDialog::Accepted;
            });
            QAction* print = printCommand(preview);
            ASSERT_TRUE(print);
            print->trigger();
            // The preview ends with the print it was asked for.
            EXPECT_FALSE(preview->isVisible());
            preview->reject();
        });
        windows->run(ReportKind::Master, {});
        EXPECT_TRUE(printed);
        if (c.said.isEmpty()) {
            // Written as every report file is: whole, and for its owner's eyes only. The recorded pages keep
            // their text as text.
            EXPECT_EQ(shown(), QList<Shown>{kPreviewQuestion});
            EXPECT_EQ(test::pdfPages(c.path), full);
            const QString text = test::pdfText(c.path).simplified();
            EXPECT_EQ(text.count("Master Password Report for Ann"), full);
            EXPECT_TRUE(text.contains("Service 029"));
            EXPECT_TRUE(text.contains(QStringLiteral("Page: %1").arg(full))) << text.toStdString();
            EXPECT_EQ(QFileInfo(c.path).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
            continue;
        }
        ASSERT_EQ(shown().size(), 2);
        EXPECT_EQ(shown()[1].title, "File Access Error");
        EXPECT_TRUE(shown()[1].text.startsWith("File (" + c.path + ") " + c.said)) << shown()[1].text.toStdString();
        EXPECT_EQ(QFileInfo::exists(c.path), existed) << "nothing half-written is left";
    }
}

TEST_F(ReportWindowsTest, TheProgressAndPreviewWindowsKeepTheirPlacesAndSizes) {
    addEntries(60);
    WindowPositions positions(ts.file("POSITION.INI"));
    ReportWindows placed(ts.store(), ts.messages(), &dialogs, ts.clock(), &positions);
    placed.printer().setOutputFormat(QPrinter::PdfFormat);
    placed.printer().setOutputFileName(printed);
    QRect progressAt;
    QRect previewAt;
    bool previewMaximized = false;
    placed.setActivity([&] {
        if (QWidget* w = QApplication::activeModalWidget(); w && progressAt.isNull()) {
            progressAt = w->geometry();
            w->setGeometry(QRect(100, 110, 430, 170));
        }
    });
    auto runOnce = [&](const QRect& moveTo, bool maximize) {
        progressAt = previewAt = QRect();
        ts.messages().answers = {Answer::Yes};
        whenShown<QPrintPreviewDialog>([&, moveTo, maximize](QPrintPreviewDialog* preview) {
            previewAt = preview->geometry();
            previewMaximized = preview->isMaximized();
            preview->showNormal();
            preview->setGeometry(moveTo);
            test::waitFor([&] { return preview->geometry() == moveTo; });
            if (maximize) {
                preview->showMaximized();
            }
            preview->reject();
        });
        placed.run(ReportKind::Master, {});
    };

    // Nothing kept yet: the preview takes the whole screen.
    runOnce(QRect(80, 90, 640, 480), false);
    EXPECT_TRUE(previewMaximized);
    EXPECT_EQ(positions.stored("ReportProgress"), QRect(100, 110, 430, 170));
    EXPECT_EQ(positions.stored("ReportPreview"), QRect(80, 90, 640, 480));
    // Both open where they were left, and a preview left maximized opens maximized.
    runOnce(QRect(70, 60, 600, 450), true);
    EXPECT_EQ(progressAt, QRect(100, 110, 430, 170));
    EXPECT_EQ(previewAt, QRect(80, 90, 640, 480));
    EXPECT_FALSE(previewMaximized);
    EXPECT_EQ(positions.stored("ReportPreview"), QRect(70, 60, 600, 450));
    runOnce(QRect(70, 60, 600, 450), false);
    EXPECT_TRUE(previewMaximized);
}

TEST_F(ReportWindowsTest, ThePrintDialogsRefuseTheStoresOwnFilesBeforeAnythingOpensThem) {
    addEntries(3);
    const QString storeFile = ts.file("ZD_DATA");
    ASSERT_TRUE(QFileInfo::exists(storeFile));
    const QString fresh = QDir(out.path()).filePath("chosen.pdf");
    // "OK" in the print dialog: what was said, and whether the dialog stayed open. A question Qt asks about
    // the file itself (to overwrite it) is answered "No".
    auto pressOk = [](QPrintDialog* dialog, bool* stayed) {
        QTimer questions;
        QObject::connect(&questions, &QTimer::timeout, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                box->reject();
            }
        });
        questions.start(20);
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        ASSERT_TRUE(buttons);
        buttons->button(QDialogButtonBox::Ok)->click();
        *stayed = dialog->isVisible();
        if (*stayed) {
            dialog->reject();
        }
    };
    const QString refusal =
        "File (" + storeFile + ") could not be opened.  Error: It is one of Zendrel's own data files";
    for (const bool fromPreview : {false, true}) {
        SCOPED_TRACE(fromPreview ? "preview" : "print setup");
        for (const QString& path : {storeFile, fresh}) {
            SCOPED_TRACE(path.toStdString());
            ts.messages().shown.clear();
            ts.messages().answers = {Answer::Yes};
            windows->printer().setOutputFileName(path);
            bool stayed = false;
            bool opened = false;
            if (fromPreview) {
                whenShown<QPrintPreviewDialog>([&](QPrintPreviewDialog* preview) {
                    whenShown<QPrintDialog>([&](QPrintDialog* dialog) { pressOk(dialog, &stayed); });
                    printCommand(preview)->trigger();
                    preview->reject();
                });
                opened = openedDuring(storeFile, [&] { windows->run(ReportKind::Master, {}); });
            } else {
                whenShown<QPrintDialog>([&](QPrintDialog* dialog) { pressOk(dialog, &stayed); });
                opened = openedDuring(storeFile, [&] { windows->printSetup(); });
            }
            EXPECT_FALSE(opened) << "the store's file was opened";
            if (path == storeFile) {
                EXPECT_TRUE(stayed);
                ASSERT_FALSE(ts.messages().shown.isEmpty());
                const Message& said = ts.messages().shown.last();
                EXPECT_EQ(said.title, "File Access Error");
                EXPECT_TRUE(said.text.startsWith(refusal)) << said.text.toStdString();
            } else {
                // Any other file is Qt's to check, and the dialog takes it.
                EXPECT_FALSE(stayed);
                EXPECT_FALSE(ts.messages().titles().contains("File Access Error"));
                if (fromPreview) {
                    EXPECT_EQ(test::pdfPages(fresh), fullPages(ReportKind::Master));
                }
            }
        }
    }
}
