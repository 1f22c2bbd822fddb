#pragma once

#include "operations/EntryOperations.h"
#include "entries/EntryServices.h"

#include "framework/WindowPlacement.h"

#include <QComboBox>

#include <map>

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolButton;

namespace zendrel {

class ClipboardDisplay;

// A combo box that says when its list is about to drop down, so that the list can be filled afresh.
class RefreshingCombo : public QComboBox {
    Q_OBJECT

public:
    using QComboBox::QComboBox;
    void showPopup() override;

Q_SIGNALS:
    void aboutToShowPopup();
};

// "Update the Passwords File": adds or changes one password entry. The entry is edited in the caller's
// buffer; exec() returns Accepted only when it was written.
//
// The monitor program's form (FormVariant::Monitor) has four tabs, "General", "Notes", "More Notes" and
// "Settings for Send", no copy or paste buttons on the general fields, no key list, default, direct
// send, clipboard or last-change controls, shorter captions, and a generator and "Advanced" window of its
// own kind. It keeps the place of its window under the same procedure name, in the position store the
// caller passes (the monitor program's own).
class UpdatePasswords : public PlacedDialog {
    Q_OBJECT

public:
    using Request = EntryOperations::Request;
    using FormVariant = EntryOperations::FormVariant;

    UpdatePasswords(EntryServices services, Request request, PasswordRecord& entry, const UserRecord& user,
                    QWidget* parent = nullptr);
    UpdatePasswords(EntryServices services, Request request, PasswordRecord& entry, const UserRecord& user,
                    FormVariant variant, QWidget* parent = nullptr);
    ~UpdatePasswords() override;

    // Runs a request on the entry in the buffer: a delete asks for confirmation and deletes without
    // showing the form. True when the entry was written or deleted; `monitorChanged` then says whether
    // the monitor must reload the user's watched entries (never after the monitor program's form, whose
    // caller reloads them after every change).
    static bool run(EntryServices services, Request request, PasswordRecord& entry, const UserRecord& user,
                    bool& monitorChanged, QWidget* parent = nullptr);
    static bool run(EntryServices services, Request request, PasswordRecord& entry, const UserRecord& user,
                    FormVariant variant, bool& monitorChanged, QWidget* parent = nullptr);

    bool monitorChanged() const { return m_monitorChanged; }
    // Takes the values of the controls into the buffer.
    void takeScreenValues();
    // Shows the buffer's values in the controls.
    void showValues();
    void ok();
    // The window titles offered by the title list, read afresh from the desktop.
    void rebuildWindowTitles();
    QStringList windowTitles() const;
    // The control a paste or copy button works on, by its accessible name ("Paste Service").
    QWidget* fieldOf(const QString& buttonName) const;
    // Text dragged from one field onto another replaces the target's whole contents with the source's.
    bool dropOnto(QWidget* target, QWidget* source);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    bool event(QEvent* e) override;

private:
    void build();
    QWidget* buildGeneral();
    QWidget* buildNotes(QPlainTextEdit*& text, const QString& prompt, const QString& name);
    QWidget* buildSendSettings();
    QWidget* buildExpiry();
    QWidget* buildFiles();
    void addCopyPaste(QGridLayout* grid, int row, QWidget* field, const QString& name);
    void updateEnabling();
    void fillScripts();
    bool checkWait();
    bool checkExpiry();
    void refuse(QWidget* control, const QString& value, const QString& title, const QString& text);
    void titleAccepted();
    void focusControl(QWidget* w);
    void generate();
    void listAllKeys();
    void addToDefaults();
    void advanced();
    void selectDate();
    void selectProgram();
    void testProgram();
    void encrypt();
    void saveToDisk();
    void showAttachment();
    QString textOf(QWidget* field) const;
    void setTextOf(QWidget* field, const QString& text);

    bool monitorForm() const { return m_variant == FormVariant::Monitor; }

    EntryServices m_s;
    QString m_datePicture;  // of the expiry date
    Request m_request;
    FormVariant m_variant;
    PasswordRecord& m_entry;
    UserRecord m_user;
    EntryOperations m_form;
    uint8_t m_openingMonitor;
    bool m_monitorChanged = false;

    QTabWidget* m_tabs = nullptr;
    QLineEdit* m_service = nullptr;
    QLineEdit* m_url = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_confirm = nullptr;
    QPlainTextEdit* m_notes = nullptr;
    QPlainTextEdit* m_moreNotes = nullptr;
    QComboBox* m_paste = nullptr;
    QPushButton* m_addDefaults = nullptr;
    QSpinBox* m_wait = nullptr;
    QCheckBox* m_direct = nullptr;
    RefreshingCombo* m_title = nullptr;
    QPushButton* m_advanced = nullptr;
    QCheckBox* m_monitor = nullptr;
    QSpinBox* m_repeat = nullptr;
    QList<QWidget*> m_monitorControls;
    QLineEdit* m_expiry = nullptr;
    QSpinBox* m_interval = nullptr;
    QLineEdit* m_filename = nullptr;
    QLineEdit* m_attachmentName = nullptr;
    QLabel* m_attachmentSize = nullptr;
    QPushButton* m_saveToDisk = nullptr;
    ClipboardDisplay* m_clipboard = nullptr;
    QPushButton* m_ok = nullptr;
    std::map<QObject*, QWidget*> m_buttonField;  // paste and copy buttons to their controls
    std::map<QObject*, QWidget*> m_skipTo;       // fields to where Tab goes over their two buttons
    QList<QWidget*> m_textFields;                // the fields text can be dragged between
    std::vector<std::pair<QString, WindowId>> m_windows;
    std::pair<QWidget*, QString> m_refused;  // the control and value refused last
};

} // namespace zendrel
