#include "entries/TipWindows.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zendrel {

namespace {

QPushButton* newButton(QWidget* parent, QHBoxLayout* row, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    row->addWidget(b);
    return b;
}

} // namespace

UpdateTips::UpdateTips(TipOperations& tips, Request request, const TipRecord& tip, WindowPositions* positions,
                       QWidget* parent)
    : PlacedDialog(positions, QStringLiteral("UpdateTips"), parent), m_tips(tips), m_request(request), m_tip(tip) {
    setWindowTitle(request == Request::Insert ? QStringLiteral("Add Tip") : QStringLiteral("Change Tip"));
    setAccessibleName(QStringLiteral("Update Tip"));
    auto* label = new QLabel(QStringLiteral("Tip:"), this);
    m_text = new QPlainTextEdit(TipOperations::shown(m_tip), this);
    m_text->setAccessibleName(QStringLiteral("Tip"));
    m_text->setTabChangesFocus(true);
    label->setBuddy(m_text);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = newButton(this, buttons, QStringLiteral("&OK"));
    auto* cancel = newButton(this, buttons, QStringLiteral("Cancel"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &UpdateTips::ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    resize(420, 240);
    place();
}

void UpdateTips::ok() {
    m_tip.tipDesc = m_text->toPlainText().left(TipOperations::kShown);
    if (m_tips.save(m_tip, m_request == Request::Insert)) {
        accept();
    }
}

bool UpdateTips::run(TipOperations& tips, Request request, TipRecord& tip, WindowPositions* positions,
                     QWidget* parent) {
    if (request == Request::Delete) {
        return tips.remove(tip);
    }
    UpdateTips form(tips, request, tip, positions, parent);
    if (form.exec() != QDialog::Accepted) {
        return false;
    }
    tip = form.record();
    return true;
}

BrowseTips::BrowseTips(DataStore& store, MessageService& messages, WindowPositions* positions, QWidget* parent)
    : PlacedDialog(positions, QStringLiteral("BrowseTips"), parent), m_ops(store, messages), m_positions(positions) {
    setWindowTitle(QStringLiteral("Browse Tips"));
    setAccessibleName(windowTitle());
    m_list = new QTreeWidget(this);
    m_list->setHeaderLabels({QStringLiteral("Tip")});
    m_list->setRootIsDecorated(false);
    m_list->setAccessibleName(QStringLiteral("Tips"));
    m_list->installEventFilter(this);
    auto* buttons = new QHBoxLayout;
    connect(newButton(this, buttons, QStringLiteral("&Insert")), &QPushButton::clicked, this, &BrowseTips::insertTip);
    connect(newButton(this, buttons, QStringLiteral("&Change")), &QPushButton::clicked, this, &BrowseTips::changeTip);
    connect(newButton(this, buttons, QStringLiteral("&Delete")), &QPushButton::clicked, this, &BrowseTips::deleteTip);
    buttons->addStretch();
    connect(newButton(this, buttons, QStringLiteral("Cl&ose")), &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &BrowseTips::changeTip);
    resize(560, 320);
    m_ops.open();
    refresh();
    place();
}

void BrowseTips::refresh(int64_t select) {
    m_tips = m_ops.all();
    m_list->clear();
    for (const TipRecord& t : m_tips) {
        auto* item = new QTreeWidgetItem(m_list, {TipOperations::listed(t)});
        if (t.tipId == select) {
            m_list->setCurrentItem(item);
        }
    }
    if (!m_list->currentItem() && m_list->topLevelItemCount() > 0) {
        m_list->setCurrentItem(m_list->topLevelItem(0));
    }
}

void BrowseTips::request(UpdateTips::Request r) {
    TipRecord tip;
    if (r == UpdateTips::Request::Insert) {
        if (!m_ops.available()) {
            return;
        }
        tip = m_ops.prime();
    } else {
        const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
        if (row < 0 || row >= static_cast<int>(m_tips.size())) {
            return;
        }
        tip = m_tips[static_cast<size_t>(row)];
    }
    if (UpdateTips::run(m_ops, r, tip, m_positions, this)) {
        refresh(r == UpdateTips::Request::Delete ? 0 : tip.tipId);
    }
}

void BrowseTips::insertTip() {
    request(UpdateTips::Request::Insert);
}

void BrowseTips::changeTip() {
    request(UpdateTips::Request::Change);
}

void BrowseTips::deleteTip() {
    request(UpdateTips::Request::Delete);
}

bool BrowseTips::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_list && e->type() == QEvent::KeyPress) {
        const QString typed = static_cast<QKeyEvent*>(e)->text();
        if (typed.size() == 1 && typed.at(0).isDigit()) {
            const int64_t at = typed.at(0).digitValue();
            for (size_t i = 0; i < m_tips.size(); ++i) {
                if (m_tips[i].tipId >= at) {
                    m_list->setCurrentItem(m_list->topLevelItem(static_cast<int>(i)));
                    break;
                }
            }
            return true;
        }
    }
    return PlacedDialog::eventFilter(watched, e);
}

TipPanel::TipPanel(DataStore& store, MessageService& messages, WindowPositions* positions, QWidget* parent)
    : QWidget(parent), m_store(store), m_messages(messages), m_positions(positions), m_ops(store, messages),
      m_reader(m_ops) {
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setAccessibleName(QStringLiteral("Tip"));
    auto* buttons = new QHBoxLayout;
    m_previous = newButton(this, buttons, QStringLiteral("&Previous"));
    m_next = newButton(this, buttons, QStringLiteral("&Next"));
    buttons->addStretch();
    m_add = newButton(this, buttons, QStringLiteral("&Add Tip"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    connect(m_next, &QPushButton::clicked, this, [this] {
        m_reader.next();
        display();
    });
    connect(m_previous, &QPushButton::clicked, this, [this] {
        m_reader.previous();
        display();
    });
    connect(m_add, &QPushButton::clicked, this, &TipPanel::addTip);
    m_ops.open();
    m_reader.start();
    display();
}

void TipPanel::display() {
    m_text->setPlainText(m_reader.shown());
    m_previous->setEnabled(m_reader.previousEnabled());
    m_next->setEnabled(m_reader.nextEnabled());
}

void TipPanel::addTip() {
    {
        BrowseTips browse(m_store, m_messages, m_positions, window());
        browse.exec();
    }
    // The reading starts again from the first tip, so that tips added or deleted there are seen.
    m_reader.start();
    display();
}

} // namespace zendrel
