// A distinctive password put through the send path and the entry form, and then looked for in the test
// program's own memory: held, it is found; released, no copy of it is left, in UTF-8 or in UTF-16.
#include "base/Secrets.h"
#include "entries/UpdatePasswords.h"
#include "operations/EntryOperations.h"
#include "operations/SendOperations.h"
#include "platform/Random.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimKeyboard.h"
#include "send/SendText.h"
#include "support/MemoryScan.h"
#include "support/TestStore.h"
#include "support/WindowHelpers.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <gtest/gtest.h>

using namespace zendrel;
using test::MaskedSecret;

namespace {

// 16 characters: ASCII, Latin-1 letters and one beyond Latin-1, so that UTF-8 and UTF-16 differ throughout.
const MaskedSecret& secret() {
    static const MaskedSecret s(test::masked(u8"Zq7!memscan-ünï€"), test::masked(u"Zq7!memscan-ünï€"));
    return s;
}

void expectNoCopy(const char* after) {
    const MaskedSecret::Found found = secret().scan();
    EXPECT_EQ(found.utf16, 0u) << "UTF-16 copies left after " << after;
    EXPECT_EQ(found.utf8, 0u) << "UTF-8 copies left after " << after;
}

TEST(MemoryScanTest, NothingHoldsThePasswordBeforeTheTestGivesItOut) {
    expectNoCopy("start-up");
}

// Expanding the send text and typing it, and copying the entry's password to the clipboard, make copies of
// the password while they work; once they are done, and the entry itself is wiped, none is left.
TEST(MemoryScanTest, TheSendPathAndTheClipboardCopyLeaveNoCopyBehind) {
    {
        test::TestStore ts;
        sim::SimDesktop desktop;
        sim::SimKeyboard keyboard(&ts.clock(), &desktop);
        sim::SimShell shell;
        sim::SimClipboard clipboard;
        const WindowId target = desktop.addWindow("Sign in - Bank");
        desktop.setFocus(target);

        PasswordRecord e = test::entry("Ann", "Bank", "ann");
        e.password = secret().reveal();
        e.confirmPassword = e.password;
        e.paste = "[Name][Tab][Password][Enter]";
        e.windowTitleToLocate.clear();  // the window that has the focus
        e.secondsToWait = 0;
        ASSERT_EQ(secret().scan().utf16, 1u) << "the entry's own copy, shared by both of its fields";

        // Halfway through typing the password the expanded text holds it whole.
        MaskedSecret::Found whileTyping;
        keyboard.onEvent(12, [&whileTyping] { whileTyping = secret().scan(); });
        const SendOutcome outcome = SendOperations(ts.store(), ts.messages(), ts.clock()).sendNow(e, keyboard, desktop, shell);
        EXPECT_EQ(outcome, SendOutcome::Untypable) << "the simulated keyboard has no key for ü, ï or €";
        EXPECT_GE(whileTyping.utf16, 2u) << "the scan must see the send path's copy while it is held";
        EXPECT_EQ(keyboard.textReceivedBy(target).substr(0, 16), "ann\tZq7!memscan-");
        EXPECT_EQ(secret().scan().utf16, 1u) << "only the entry's own copy is left";

        ASSERT_TRUE(EntryOperations::copyField(e, "Password", clipboard));
        EXPECT_TRUE(clipboard.secret());
        EXPECT_EQ(secret().scan().utf8, 1u) << "the clipboard holds it as UTF-8";
        clipboard.setText(std::string(), false);

        wipe(e.password);
        wipe(e.confirmPassword);
    }
    expectNoCopy("the send and the clipboard copy");
}

// A password typed into the entry form is found in its fields and, once saved, in the entry and in the
// record store's pages; after the form is closed and the entry wiped, no copy the form made is left.
TEST(MemoryScanTest, TheEntryFormLeavesNoCopyOfATypedPasswordBehind) {
    {
        test::TestStore ts;
        sim::SimClipboard clipboard;
        sim::SimDesktop screen;
        sim::SimShell shell;
        SystemRandom random;
        ScriptedFileDialogs dialogs;
        Settings settings;
        Table<UserRecord> users(ts.store());
        UserRecord ann = users.prime();
        ann.name = "Ann";
        ann.password = ann.confirmPassword = "Not Required";
        ASSERT_TRUE(users.insert(ann));
        PasswordRecord e = Table<PasswordRecord>(ts.store()).prime();
        EntryOperations(ts.store(), ts.messages(), ts.clock()).prime(e, "Ann");
        {
            UpdatePasswords form(EntryServices{ts.store(), ts.messages(), ts.clock(), clipboard, screen, shell, random,
                                               dialogs, nullptr, &settings, ts.dir()},
                                 EntryOperations::Request::Insert, e, ann);
            form.show();
            test::named<QLineEdit>(&form, "Service")->setText("Bank");
            test::named<QLineEdit>(&form, "Name used on this service")->setText("ann");
            {
                Wiped<QString> typed(secret().reveal());
                for (const char* name : {"Password used on this service", "Confirmation Password"}) {
                    auto* field = test::named<QLineEdit>(&form, name);
                    for (const QChar c : *typed) {
                        // As a keyboard of any layout delivers it: the character as the key's text.
                        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
                        QApplication::sendEvent(field, &press);
                    }
                    ASSERT_EQ(field->text(), *typed);
                }
            }
            EXPECT_EQ(secret().scan().utf16, 2u) << "each field holds what was typed into it";
            test::button(&form, "&OK")->click();
            ASSERT_EQ(form.result(), QDialog::Accepted)
                << (ts.messages().shown.isEmpty() ? std::string() : ts.messages().shown.last().text.toStdString());
        }
        const MaskedSecret::Found saved = secret().scan();
        EXPECT_GE(saved.utf16, 1u) << "the entry holds the password";
        EXPECT_GE(saved.utf8, 1u) << "the record store's page holds the password";
        wipe(e.password);
        wipe(e.confirmPassword);
        ts.closeStore();
    }
    // What the form and the entry held is gone. The record store hands its freed pages back without
    // overwriting them, so the UTF-8 of the stored row may still lie in freed memory: that copy is the store's
    // (the send test shows that our own code leaves no UTF-8 behind).
    EXPECT_EQ(secret().scan().utf16, 0u) << "UTF-16 copies left after the entry form";
}

} // namespace
