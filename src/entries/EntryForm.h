#pragma once

#include "data/DataStore.h"
#include "platform/Desktop.h"

namespace zendrel {

// The rules of the password entry form, apart from its controls: priming a new entry, what happens
// when it opens, and the checks of "&OK" in their order with their messages.
class EntryForm {
public:
    enum class Request { Insert = 1, Change = 2, Delete = 3 };
    enum class Focus { None, OkButton, Service, Name, Url, WindowTitle };

    EntryForm(DataStore& store, MessageService& messages, Clock& clock)
        : m_store(store), m_messages(messages), m_clock(clock) {}

    static const QString& defaultSendText();
    static const QStringList& defaultScripts();

    // Every insert, after the record was cleared or copied.
    void prime(PasswordRecord& entry, const QString& userName) const;
    // Opening: a blank send text becomes the default; an empty script table gets the eight defaults; a
    // new entry takes the account name last used and an address found in a window title or the clipboard.
    void open(PasswordRecord& entry, Request request, const UserRecord& user, const QStringList& windowTitles,
              const QString& clipboard);
    // The address in the first title holding "http:", else "www.", cut before a blank or a double quote.
    static QString findAddress(const QStringList& texts);

    struct Outcome {
        bool saved = false;
        Focus focus = Focus::None;
        bool monitorChanged = false;  // the monitor must reload the user's entries
    };
    // "&OK". The entry is written only when every check passes; the user's last name used is updated on
    // his record as stored now.
    Outcome ok(PasswordRecord& entry, Request request, uint8_t openingMonitor);
    // "Add to Defaults": the send text joins the script table unless it is there already (any case).
    bool addToDefaults(const QString& sendText);

private:
    bool duplicates(const PasswordRecord& e, const QString& key) const;

    DataStore& m_store;
    MessageService& m_messages;
    Clock& m_clock;
};

} // namespace zendrel
