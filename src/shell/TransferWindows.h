#pragma once

#include "base/FileDialogs.h"
#include "data/DataStore.h"
#include "framework/WindowPlacement.h"
#include "operations/TransferOperations.h"

#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace zendrel {

class WindowPositions;

// What the import and export windows work with.
struct TransferContext {
    DataStore& store;
    MessageService& messages;
    FileDialogs& dialogs;
    WindowPositions* positions = nullptr;
    // Every entry added counts as the user's activity.
    std::function<void()> activity;
};

// "&Export": "Choose Fields for Export...", the user chosen as soon as it has opened, then the file and the
// export in its progress window.
class ExportPasswords : public PlacedDialog {
    Q_OBJECT

public:
    ExportPasswords(TransferContext ctx, DelimitedText& text, QWidget* parent = nullptr);
    // The whole procedure; nothing when another transfer runs.
    static void run(TransferContext ctx, QWidget* parent = nullptr);

    QListWidget* allFields() const { return m_all; }
    QTreeWidget* exportFields() const { return m_chosen; }
    QLabel* typeLabel() const { return m_type; }
    QCheckBox* header() const { return m_header; }
    const std::optional<UserRecord>& user() const { return m_user; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    void chooseUser();
    void add();
    void remove();
    void shift(int by);
    void askPicture();
    void ok();
    void refreshType();
    void addRow(const QString& name, const QString& picture);

    TransferContext m_ctx;
    DelimitedText& m_text;
    std::optional<UserRecord> m_user;
    bool m_userAsked = false;
    QListWidget* m_all;
    QTreeWidget* m_chosen;
    QLabel* m_type;
    QCheckBox* m_header;
};

// "&Import": "Select User" and the file first, then "Assign fields for Import..." and the import in its
// progress window.
class ImportPasswords : public PlacedDialog {
    Q_OBJECT

public:
    ImportPasswords(TransferContext ctx, const UserRecord& user, DelimitedText& text,
                    std::unique_ptr<TransferOperations::Source> source, QWidget* parent = nullptr);
    ~ImportPasswords() override;
    static void run(TransferContext ctx, QWidget* parent = nullptr);

    QTreeWidget* columnList() const { return m_columns; }
    QTreeWidget* targetList() const { return m_targets; }
    QLabel* recordCounter() const { return m_record; }
    QCheckBox* stripHeader() const { return m_strip; }
    const std::vector<int>& assignment() const { return m_assignment; }

private:
    void refresh();
    void next();
    void askPicture();
    void assign();
    void automatic();
    void unassign();
    void ok();
    void columnChosen();
    void targetChosen();

    TransferContext m_ctx;
    UserRecord m_user;
    DelimitedText& m_text;
    std::unique_ptr<TransferOperations::Source> m_source;
    std::vector<int> m_assignment;
    bool m_linking = false;
    QTreeWidget* m_columns;
    QTreeWidget* m_targets;
    QPushButton* m_next;
    QPushButton* m_auto;
    QLabel* m_record;
    QCheckBox* m_strip;
};

} // namespace zendrel
