#pragma once

#include "data/DataStore.h"
#include "platform/Desktop.h"
#include "platform/Keyboard.h"
#include "platform/Shell.h"
#include "send/Sender.h"

namespace zendrel {

// What the contents check would see in the window that a title finds, for choosing a text that is really
// there: the lines of text its child windows and controls show, each once, in order. Without a window whose
// title matches, `found` is false and `message` says so.
struct WindowTexts {
    bool found = false;
    QStringList lines;
    QString message;  // why there is nothing to offer: no window, or a window showing no readable text
};
WindowTexts windowTexts(Desktop& desktop, const QString& title);

// Sending one entry at once, as Send in the password list does it through the frame's send pass: the
// entry's program first, its send text expanded, its seconds waited, its window found and activated
// and the text typed at the main program's pace. Every failure is shown under "Cannot Send".
class SendOperations {
public:
    SendOperations(DataStore& store, MessageService& messages, Clock& clock)
        : m_store(store), m_messages(messages), m_clock(clock) {}

    // The pace of typing from the settings, by the main program's rules.
    SendSettings mainPace();
    SendOutcome sendNow(const PasswordRecord& entry, Keyboard& keyboard, Desktop& desktop, Shell& shell);

private:
    DataStore& m_store;
    MessageService& m_messages;
    Clock& m_clock;
};

} // namespace zendrel
