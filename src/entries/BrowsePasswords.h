#pragma once

#include "entries/EntryServices.h"
#include "entries/PasswordListModel.h"

#include "framework/WindowPlacement.h"

#include <QPointer>

#include <functional>
#include <optional>

class QAction;
class QMenu;
class QPushButton;
class QTabBar;
class QTableView;

namespace zendrel {

class ClipboardDisplay;
class MonitorWorker;

// How a password list reaches the sending engine and the frame.
struct ListLink {
    MonitorWorker* monitor = nullptr;  // the frame's engine: the user's open list and Send go there
    QObject* frame = nullptr;          // where the list's notices are posted
    std::function<bool()> monitorOn;   // whether the frame's monitor is active
};

// "Passwords - <user>": one user's password entries in one of five orders, with the commands to add,
// copy, change, delete and send them and to copy their fields to the clipboard.
class BrowsePasswords : public PlacedDialog {
    Q_OBJECT

public:
    BrowsePasswords(EntryServices services, ListLink link, const UserRecord& user, QWidget* parent = nullptr);
    ~BrowsePasswords() override;

    // The user a new list opens for: one of the first three users in stored order (1 to 3, after his
    // login password where he has one), or the one chosen in "Select User". Nothing when there is none.
    static std::optional<UserRecord> establishUser(DataStore& store, MessageService& messages,
                                                   WindowPositions* positions, int preset, QWidget* parent = nullptr);

    const UserRecord& user() const { return m_user; }
    PasswordListModel& model() { return m_model; }
    QTableView* view() const { return m_view; }
    QTabBar* tabs() const { return m_tabs; }
    QMenu* popupMenu() const { return m_menu; }
    ClipboardDisplay* clipboardDisplay() const { return m_clipboard; }
    // The row selected in the list, -1 for none.
    int selectedRow() const;
    void selectRow(int row);

    void selectUser();
    void addEntry();
    void copyEntry();
    void changeEntry();
    void deleteEntry();
    void sendEntry();
    void copyField(const QString& field);
    void launchUrl();
    void filterClipboard();
    void displayAll();
    // Reads the list afresh, keeping the selected entry where it still is in the list.
    void refresh();
    // The user's record as stored now: follows a rename; closes the list when the user was deleted.
    void userChangedElsewhere();
    // Wide enough for every column whole, tall enough for a dozen rows.
    QSize sizeHint() const override;

Q_SIGNALS:
    // The list's user changed (Select User, a rename); the frame keeps its list of open users.
    void userSwitched();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    bool event(QEvent* e) override;

private:
    void build();
    void setTitle();
    void updateEnabling();
    void hideClipboard(bool hide);
    std::optional<PasswordRecord> selectedEntry();
    bool runForm(int request, PasswordRecord& entry);
    // The engine counts the open lists of each user: this list joins one user and leaves him again.
    void joinUser(const UserRecord& user);
    void leaveUser();
    void noticeChanged(const QString& user);
    void postToFrame(int type);
    void setColumnWidths();

    EntryServices m_s;
    ListLink m_link;
    UserRecord m_user;
    QString m_listed;  // the user this list is counted for by the engine; blank once it left him
    PasswordListModel m_model;
    QTableView* m_view = nullptr;
    QTabBar* m_tabs = nullptr;
    QMenu* m_menu = nullptr;
    ClipboardDisplay* m_clipboard = nullptr;
    bool m_copyNext = false;
    QPushButton* m_copy = nullptr;
    QList<QWidget*> m_rowButtons;           // act on the selected row
    QList<QAction*> m_rowActions;           // menu items that act on the selected row
    QList<QAction*> m_whileRows;            // menu items usable while the list has rows
};

} // namespace zendrel
