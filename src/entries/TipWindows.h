#pragma once

#include "framework/WindowPlacement.h"
#include "operations/TipOperations.h"

#include <QWidget>
#include <vector>

class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace zendrel {

class WindowPositions;

// "Update Tip": the text box "Tip:" with "&OK" and "Cancel", titled "Add Tip" or "Change Tip".
class UpdateTips : public PlacedDialog {
    Q_OBJECT

public:
    enum class Request { Insert, Change, Delete };

    UpdateTips(TipOperations& tips, Request request, const TipRecord& tip, WindowPositions* positions,
               QWidget* parent = nullptr);
    const TipRecord& record() const { return m_tip; }
    QPlainTextEdit* text() const { return m_text; }

    // The request on one tip: the form for an insert or a change, the "Confirm Delete" question for a delete.
    // True when the table was changed.
    static bool run(TipOperations& tips, Request request, TipRecord& tip, WindowPositions* positions,
                    QWidget* parent = nullptr);

private:
    void ok();

    TipOperations& m_tips;
    Request m_request;
    TipRecord m_tip;
    QPlainTextEdit* m_text;
};

// "Browse Tips": the tips in the order of their numbers, one column "Tip" with the first 255 characters; a
// digit typed into the list moves to the first tip numbered at or after it.
class BrowseTips : public PlacedDialog {
    Q_OBJECT

public:
    BrowseTips(DataStore& store, MessageService& messages, WindowPositions* positions, QWidget* parent = nullptr);
    QTreeWidget* list() const { return m_list; }
    void refresh(int64_t select = 0);

    void insertTip();
    void changeTip();
    void deleteTip();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void request(UpdateTips::Request r);

    TipOperations m_ops;
    WindowPositions* m_positions;
    QTreeWidget* m_list;
    std::vector<TipRecord> m_tips;
};

// One tip of the table with "&Next", "&Previous" and "&Add Tip", for the About window: the buttons follow the
// reader's marks after every step, and the reading starts afresh once "Browse Tips" closes.
class TipPanel : public QWidget {
    Q_OBJECT

public:
    TipPanel(DataStore& store, MessageService& messages, WindowPositions* positions, QWidget* parent = nullptr);
    QPlainTextEdit* text() const { return m_text; }
    QPushButton* nextButton() const { return m_next; }
    QPushButton* previousButton() const { return m_previous; }
    QPushButton* addButton() const { return m_add; }

private:
    // The tip in the reader's buffer, and the buttons by its marks.
    void display();
    void addTip();

    DataStore& m_store;
    MessageService& m_messages;
    WindowPositions* m_positions;
    TipOperations m_ops;
    TipReader m_reader;
    QPlainTextEdit* m_text;
    QPushButton* m_next;
    QPushButton* m_previous;
    QPushButton* m_add;
};

} // namespace zendrel
