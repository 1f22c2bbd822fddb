#pragma once

#include "data/DataStore.h"
#include "entries/PasswordListModel.h"
#include "platform/Shell.h"

#include <functional>

namespace zendrel {

// Adding, changing, deleting and finding a user's password entries, with every check and message: the
// entry form and the command line both go through here. Apart from controls: priming a new entry, what
// happens when the form opens, and the checks of "&OK" in their order with their messages.
class EntryOperations {
public:
    enum class Request { Insert = 1, Change = 2, Delete = 3 };
    enum class Focus { None, OkButton, Service, Name, Url, WindowTitle, Program };
    // Whose entry form: the main program's, or the monitor program's smaller one, whose "&OK" differs in
    // three points (see save()).
    enum class FormVariant { Main, Monitor };

    EntryOperations(DataStore& store, MessageService& messages, Clock& clock)
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
        bool monitorChanged = false; // the monitor must reload the user's entries
    };
    // "&OK". The entry is written only when every check passes; the user's last name used is updated on
    // his record as stored now. The monitor program's form refuses unequal passwords under the caption
    // "Cannot Save Changes", stamps the change as soon as the passwords match, and never asks for the
    // notice about the user (`monitorChanged` stays false): that program reloads its watched entries after
    // every change itself.
    Outcome save(PasswordRecord& entry, Request request, uint8_t openingMonitor,
                 FormVariant variant = FormVariant::Main);
    // "Add to Defaults": the send text joins the script table unless it is there already (any case).
    bool addToDefaults(const QString& sendText);
    bool remove(const PasswordRecord& entry);

    struct Refusal {
        QString title;
        QString text;
    };
    // The seconds to wait are checked before they are narrowed into the record's one byte: the refusal
    // in the store's words, or nothing when they are in range.
    static std::optional<Refusal> secondsToWaitRefusal(int64_t seconds);

    // The user's entry of that ID, as stored now; nothing when there is none or it is another user's.
    std::optional<PasswordRecord> find(const QString& user, int64_t id);
    // Every entry of a user's list in an order, read a page at a time along the key: a list of any length
    // is never held whole. `visit` returns false to stop.
    void forEach(const QString& user, PasswordListModel::Order order,
                 const std::function<bool(const PasswordRecord&)>& visit);
    // The entries whose service, name or address contains the text, without regard to case, in service order.
    void search(const QString& user, const QString& text, const std::function<bool(const PasswordRecord&)>& visit);

    // The fields that can be copied to the clipboard, by their captions, and an entry's text of one.
    static const QStringList& copyableFields();
    static std::optional<QString> fieldText(const PasswordRecord& entry, const QString& field);
    // Puts one field on the clipboard, a password marked as a secret for clipboard managers; false for a
    // field that cannot be copied.
    static bool copyField(const PasswordRecord& entry, const QString& field, Clipboard& clipboard);

private:
    bool duplicates(const PasswordRecord& e, const QString& key) const;

    DataStore& m_store;
    MessageService& m_messages;
    Clock& m_clock;
};

} // namespace zendrel
