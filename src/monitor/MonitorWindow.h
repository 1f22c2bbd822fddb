#pragma once

#include "entries/EntryServices.h"
#include "operations/MonitorOperations.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QEvent>
#include <QWidget>
#include <memory>

class QComboBox;
class QCheckBox;
class QPushButton;
class QSpinBox;
class QTableView;

namespace zendrel {

class MonitorWorker;
class QtTray;

namespace monitor_event {
constexpr QEvent::Type Restore = static_cast<QEvent::Type>(546);
constexpr QEvent::Type Minimize = static_cast<QEvent::Type>(548);
constexpr QEvent::Type LeftUp = static_cast<QEvent::Type>(1089);
constexpr QEvent::Type RightUp = static_cast<QEvent::Type>(1090);
constexpr QEvent::Type LeftDouble = static_cast<QEvent::Type>(1091);
constexpr QEvent::Type RightDouble = static_cast<QEvent::Type>(1092);
} // namespace monitor_event

// "Browsing Records": the chosen user's entries with the monitor's columns. Rows hold what is shown and the
// entry's row ID, never its secrets: a command reads the entry afresh.
class MonitorEntryModel final : public QAbstractTableModel {
public:
    struct Row {
        int64_t rowId = 0;
        bool monitor = false;
        bool expired = false;
        QString cells[7]; // service, name, URL, notes, expiry, last change, program
    };
    static const QStringList& headers();

    void load(DataStore& store, const QString& user, int32_t today);
    const Row* row(int r) const { return r >= 0 && r < static_cast<int>(m_rows.size()) ? &m_rows[r] : nullptr; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<Row> m_rows;
};

// The monitor program's preferences: five settings, corrected when opened, stored on "&OK".
class MonitorPreferencesWindow final : public QDialog {
public:
    MonitorPreferencesWindow(MonitorOperations& ops, QWidget* parent = nullptr);
    void ok();

private:
    MonitorOperations& m_ops;
    MonitorPreferences m_opened;
    QCheckBox* m_stayOnTop;
    QCheckBox* m_ask;
    QCheckBox* m_askAtStart;
    QSpinBox* m_interval;
    QSpinBox* m_groupSize;
};

// Stands between the operations and the sending worker on its own thread.
class WorkerQueue final : public MonitorQueue {
public:
    explicit WorkerQueue(MonitorWorker& worker);
    void selectUser(const QString& user) override;
    void queueEntry(const PasswordRecord& entry) override;
    void setMonitorOn(bool on) override;
    void runPass() override {} // the worker passes on its own timer, on its own thread
    bool empty() const override { return m_empty; }
    void setSettings(SendSettings settings) override;

private:
    MonitorWorker& m_worker;
    bool m_empty = true;
};

// "Zendrel Monitor": the monitor program's window, mostly hidden behind its notification-area icon.
class MonitorWindow final : public QWidget {
public:
    MonitorWindow(EntryServices services, MonitorWorker& worker, Tray& tray, QWidget* parent = nullptr);
    ~MonitorWindow() override;

    // False after the refusal on tables the main program never prepared.
    bool start();
    MonitorOperations& operations() { return *m_ops; }
    MonitorEntryModel& model() { return m_model; }
    QTableView* list() const { return m_list; }
    QComboBox* choice() const { return m_choice; }
    // The current row's entry read afresh; nothing without a selected row, or when it is gone.
    std::optional<PasswordRecord> currentEntry();
    QStringList popupItems() const { return m_ops->popupMenu(); }
    void popup(const QPoint& at);
    void tick();

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void showList();
    void updateButtons();
    void editEntry(bool insert);
    void runMenu(const QString& item);

    EntryServices m_s;
    MonitorWorker& m_worker;
    Tray& m_tray;
    WorkerQueue m_queue;
    std::unique_ptr<MonitorOperations> m_ops;
    MonitorEntryModel m_model;
    QTableView* m_list;
    QComboBox* m_choice;
    QList<QPushButton*> m_onEntry; // act on the selected row
    bool m_closing = false;
};

} // namespace zendrel
