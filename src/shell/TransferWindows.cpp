#include "shell/TransferWindows.h"

#include "base/Picture.h"
#include "framework/AskPicture.h"
#include "framework/ProgressWindow.h"
#include "framework/WindowPositions.h"
#include "session/LoginWindows.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zendrel {

namespace {

QPushButton* addButton(QWidget* parent, QLayout* layout, const QString& caption, std::function<void()> action) {
    auto* b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    layout->addWidget(b);
    QObject::connect(b, &QPushButton::clicked, parent, std::move(action));
    return b;
}

QTreeWidget* makeList(QWidget* parent, const QString& name, const QStringList& headings) {
    auto* list = new QTreeWidget(parent);
    list->setAccessibleName(name);
    list->setHeaderLabels(headings);
    list->setRootIsDecorated(false);
    list->setAllColumnsShowFocus(true);
    return list;
}

// A pass in the progress window: one slice per timer event, the percentage below, "Process Completed" at
// the end when it was not cancelled.
void runProgress(QWidget* parent, const TransferContext& ctx, const QString& procedure, const QString& title,
                 const QString& upper, const std::function<bool()>& slice, const std::function<int()>& percent,
                 const std::function<void()>& cancel) {
    ProgressWindow progress(
        [&](ProgressWindow& w) {
            const bool more = slice();
            w.setProgress(percent(), 100);
            w.setLines(upper, more ? QStringLiteral("%1% Completed").arg(picture::format(percent(), "@n3"))
                                   : QStringLiteral("Process Completed"));
            return more;
        },
        parent);
    progress.setWindowTitle(title);
    progress.setLines(upper, QStringLiteral("0% Completed"));
    progress.setProgress(0, 100);
    if (ctx.positions) {
        restorePlacement(&progress, *ctx.positions, procedure);
    }
    if (progress.run() != QDialog::Accepted) {
        cancel();
    }
    if (ctx.positions) {
        savePlacement(&progress, *ctx.positions, procedure);
    }
}

} // namespace

ExportPasswords::ExportPasswords(TransferContext ctx, DelimitedText& text, QWidget* parent)
    : PlacedDialog(ctx.positions, QStringLiteral("ExportPasswords"), parent), m_ctx(std::move(ctx)), m_text(text) {
    setWindowTitle(QStringLiteral("Choose Fields for Export..."));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("ExportPasswords"));

    m_all = new QListWidget(this);
    m_all->setAccessibleName(QStringLiteral("All Fields"));
    m_all->setSelectionMode(QAbstractItemView::MultiSelection);
    for (const auto& f : TransferOperations::fields()) {
        m_all->addItem(f.name);
    }
    auto* middle = new QVBoxLayout;
    middle->addStretch();
    addButton(this, middle, QStringLiteral("&Add ->"), [this] { add(); });
    addButton(this, middle, QStringLiteral("&Remove"), [this] { remove(); });
    addButton(this, middle, QStringLiteral("Shift &Up"), [this] { shift(-1); });
    addButton(this, middle, QStringLiteral("Shift &Down"), [this] { shift(1); });
    addButton(this, middle, QStringLiteral("&Picture"), [this] { askPicture(); });
    middle->addStretch();
    m_chosen = makeList(this, QStringLiteral("Export Fields"), {QStringLiteral("Export Fields"), QStringLiteral("Picture")});
    m_chosen->setSelectionMode(QAbstractItemView::MultiSelection);
    m_type = new QLabel(this);
    m_type->setAccessibleName(QStringLiteral("Type"));
    m_header = new QCheckBox(QStringLiteral("Include &header record with field names"), this);
    connect(m_chosen, &QTreeWidget::currentItemChanged, this, [this] { refreshType(); });

    auto* lists = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("All Fields"), this));
    left->addWidget(m_all);
    auto* right = new QVBoxLayout;
    right->addWidget(m_chosen);
    right->addWidget(m_type);
    lists->addLayout(left);
    lists->addLayout(middle);
    lists->addLayout(right);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_header);
    buttons->addStretch();
    addButton(this, buttons, QStringLiteral("&OK"), [this] { ok(); })->setDefault(true);
    addButton(this, buttons, QStringLiteral("&Cancel"), [this] { reject(); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists);
    layout->addLayout(buttons);
    place();
}

void ExportPasswords::run(TransferContext ctx, QWidget* parent) {
    auto text = DelimitedText::claim(ctx.messages, &ctx.dialogs, &ctx.store);
    if (!text) {
        return;
    }
    ExportPasswords w(std::move(ctx), *text, parent);
    w.exec();
}

void ExportPasswords::showEvent(QShowEvent* e) {
    PlacedDialog::showEvent(e);
    if (!m_userAsked) {
        m_userAsked = true;
        // Once the window is on the screen.
        QMetaObject::invokeMethod(this, [this] { chooseUser(); }, Qt::QueuedConnection);
    }
}

void ExportPasswords::chooseUser() {
    m_user = SelectUsers::choose(m_ctx.store, m_ctx.messages, m_ctx.positions, LoginVariant::Main, this);
    if (!m_user || m_user->name.trimmed().isEmpty()) {
        m_user.reset();
        reject();
    }
}

void ExportPasswords::addRow(const QString& name, const QString& picture) {
    auto* item = new QTreeWidgetItem(m_chosen, {name, picture});
    Q_UNUSED(item);
}

void ExportPasswords::add() {
    const bool wasEmpty = m_chosen->topLevelItemCount() == 0;
    for (int i = 0; i < m_all->count(); ++i) {
        QListWidgetItem* item = m_all->item(i);
        if (!item->isSelected() || !m_chosen->findItems(item->text(), Qt::MatchExactly, 0).isEmpty()) {
            continue;
        }
        const int n = TransferOperations::fieldNumber(item->text());
        addRow(item->text(), TransferOperations::fields()[static_cast<size_t>(n)].picture);
    }
    m_all->clearSelection();
    if (wasEmpty && m_chosen->topLevelItemCount() > 0) {
        m_chosen->setCurrentItem(m_chosen->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
    }
    refreshType();
}

void ExportPasswords::remove() {
    int current = m_chosen->indexOfTopLevelItem(m_chosen->currentItem());
    for (int i = m_chosen->topLevelItemCount() - 1; i >= 0; --i) {
        if (m_chosen->topLevelItem(i)->isSelected()) {
            if (i <= current) {
                --current;
            }
            delete m_chosen->takeTopLevelItem(i);
        }
    }
    current = std::max(0, current);
    if (current < m_chosen->topLevelItemCount()) {
        m_chosen->setCurrentItem(m_chosen->topLevelItem(current), 0, QItemSelectionModel::NoUpdate);
    }
    m_chosen->clearSelection();
    refreshType();
}

void ExportPasswords::shift(int by) {
    const int from = m_chosen->indexOfTopLevelItem(m_chosen->currentItem());
    const int to = from + by;
    if (from < 0 || to < 0 || to >= m_chosen->topLevelItemCount()) {
        return;
    }
    QTreeWidgetItem* item = m_chosen->takeTopLevelItem(from);
    m_chosen->insertTopLevelItem(to, item);
    m_chosen->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
}

void ExportPasswords::askPicture() {
    QTreeWidgetItem* item = m_chosen->currentItem();
    if (!item) {
        return;
    }
    const QString picture = AskPicture::ask(item->text(1), m_ctx.messages, this);
    if (!picture.isEmpty()) {
        item->setText(1, picture);
    }
    refreshType();
}

void ExportPasswords::refreshType() {
    QTreeWidgetItem* item = m_chosen->currentItem();
    m_type->setText(item ? picture::typeLabel(item->text(1), picture::Side::Export) : QString());
}

void ExportPasswords::ok() {
    std::vector<TransferOperations::ExportField> chosen;
    for (int i = 0; i < m_chosen->topLevelItemCount(); ++i) {
        chosen.push_back({m_chosen->topLevelItem(i)->text(0), m_chosen->topLevelItem(i)->text(1)});
    }
    TransferOperations ops(m_ctx.store, m_ctx.messages);
    if (!ops.checkExportFields(static_cast<int>(chosen.size())) || !m_user) {
        return;
    }
    hide();
    if (auto pass = ops.startExport(m_text, *m_user, chosen, m_header->isChecked(), {})) {
        runProgress(
            this, m_ctx, QStringLiteral("ExportProgress"), QStringLiteral("Exporting Records"),
            QStringLiteral("Exporting Passwords"), [&] { return pass->slice(); },
            [&] {
                return pass->total() > 0 ? static_cast<int>(std::min<int64_t>(100, pass->done() * 100 / pass->total()))
                                         : 100;
            },
            [&] { pass->cancel(); });
        pass->finish();
    }
    accept();
}

ImportPasswords::ImportPasswords(TransferContext ctx, const UserRecord& user, DelimitedText& text,
                                 std::unique_ptr<TransferOperations::Source> source, QWidget* parent)
    : PlacedDialog(ctx.positions, QStringLiteral("ImportPasswords"), parent), m_ctx(std::move(ctx)), m_user(user),
      m_text(text), m_source(std::move(source)), m_assignment(TransferOperations::fields().size(), -1) {
    setWindowTitle(QStringLiteral("Assign fields for Import..."));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("ImportPasswords"));

    m_columns = makeList(this, QStringLiteral("Import Fields"),
                         {QStringLiteral("Import Field"), QStringLiteral("Picture"), QStringLiteral("Value")});
    m_targets = makeList(this, QStringLiteral("Target Fields"),
                         {QStringLiteral("Target Field"), QStringLiteral("="), QStringLiteral("Import Field")});
    for (const auto& c : m_source->columns()) {
        new QTreeWidgetItem(m_columns, {c.name, QString(), QString()});
    }
    for (const auto& f : TransferOperations::fields()) {
        new QTreeWidgetItem(m_targets, {f.name, QString(), QString()});
    }
    m_targets->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(m_columns, &QTreeWidget::currentItemChanged, this, [this] { columnChosen(); });
    connect(m_targets, &QTreeWidget::currentItemChanged, this, [this] { targetChosen(); });

    auto* side = new QVBoxLayout;
    m_next = addButton(this, side, QStringLiteral("&Next"), [this] { next(); });
    m_record = new QLabel(this);
    m_record->setAccessibleName(QStringLiteral("Rec#"));
    side->addWidget(m_record);
    addButton(this, side, QStringLiteral("&Picture"), [this] { askPicture(); });
    addButton(this, side, QStringLiteral("&Assign"), [this] { assign(); });
    m_auto = addButton(this, side, QStringLiteral("A&uto"), [this] { automatic(); });
    addButton(this, side, QStringLiteral("&Unassign"), [this] { unassign(); });
    side->addStretch();
    auto* lists = new QHBoxLayout;
    lists->addWidget(m_columns, 3);
    lists->addWidget(m_targets, 2);
    lists->addLayout(side);
    m_strip = new QCheckBox(QStringLiteral("Strip &header record (field names)"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_strip);
    buttons->addStretch();
    addButton(this, buttons, QStringLiteral("&OK"), [this] { ok(); })->setDefault(true);
    addButton(this, buttons, QStringLiteral("&Cancel"), [this] { reject(); });
    addButton(this, buttons, QStringLiteral("Help"), [this] { refresh(); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists);
    layout->addLayout(buttons);
    refresh();
    resize(900, 520);
    place();
}

ImportPasswords::~ImportPasswords() = default;

void ImportPasswords::run(TransferContext ctx, QWidget* parent) {
    auto text = DelimitedText::claim(ctx.messages, &ctx.dialogs, &ctx.store);
    if (!text) {
        return;
    }
    const auto user = SelectUsers::choose(ctx.store, ctx.messages, ctx.positions, LoginVariant::Main, parent);
    if (!user) {
        return;
    }
    auto source = TransferOperations(ctx.store, ctx.messages).openSource(*text, {});
    if (!source) {
        return;
    }
    ImportPasswords w(std::move(ctx), *user, *text, std::move(source), parent);
    w.exec();
}

void ImportPasswords::refresh() {
    const auto& cols = m_source->columns();
    for (int i = 0; i < m_columns->topLevelItemCount() && static_cast<size_t>(i) < cols.size(); ++i) {
        QTreeWidgetItem* item = m_columns->topLevelItem(i);
        const auto& c = cols[static_cast<size_t>(i)];
        item->setText(1, picture::typeLabel(c.picture, picture::Side::Import));
        item->setToolTip(1, c.picture);
        item->setText(2, c.value);
    }
    for (int t = 0; t < m_targets->topLevelItemCount(); ++t) {
        const int c = m_assignment[static_cast<size_t>(t)];
        QTreeWidgetItem* item = m_targets->topLevelItem(t);
        item->setText(1, c >= 0 ? QStringLiteral("=") : QString());
        item->setText(2, c >= 0 ? cols[static_cast<size_t>(c)].name : QString());
    }
    m_record->setText(QStringLiteral("Rec# %1").arg(m_source->record()));
}

void ImportPasswords::next() {
    if (m_source->next()) {
        m_auto->setEnabled(false);
    } else {
        m_next->setEnabled(false);
    }
    refresh();
}

void ImportPasswords::askPicture() {
    const int c = m_columns->indexOfTopLevelItem(m_columns->currentItem());
    if (c < 0) {
        return;
    }
    auto& column = m_source->columns()[static_cast<size_t>(c)];
    const QString picture = AskPicture::ask(column.picture, m_ctx.messages, this);
    if (!picture.isEmpty()) {
        column.picture = picture;
    }
    refresh();
}

void ImportPasswords::assign() {
    const int c = m_columns->indexOfTopLevelItem(m_columns->currentItem());
    const int t = m_targets->indexOfTopLevelItem(m_targets->currentItem());
    if (c >= 0 && t >= 0) {
        m_assignment[static_cast<size_t>(t)] = c;
    }
    refresh();
}

void ImportPasswords::automatic() {
    // The values matched came from a header line, which is then stripped; a file in which nothing matched
    // has no header, and its first line stays.
    if (m_source->autoAssign(m_assignment) > 0) {
        m_strip->setChecked(true);
    }
    refresh();
}

void ImportPasswords::unassign() {
    const int t = m_targets->indexOfTopLevelItem(m_targets->currentItem());
    if (t >= 0) {
        m_assignment[static_cast<size_t>(t)] = -1;
    }
    refresh();
}

void ImportPasswords::columnChosen() {
    if (m_linking) {
        return;
    }
    const int c = m_columns->indexOfTopLevelItem(m_columns->currentItem());
    const auto it = std::find(m_assignment.begin(), m_assignment.end(), c);
    if (c >= 0 && it != m_assignment.end()) {
        m_linking = true;
        m_targets->setCurrentItem(m_targets->topLevelItem(static_cast<int>(it - m_assignment.begin())));
        m_linking = false;
    }
}

void ImportPasswords::targetChosen() {
    if (m_linking) {
        return;
    }
    const int t = m_targets->indexOfTopLevelItem(m_targets->currentItem());
    if (t >= 0 && m_assignment[static_cast<size_t>(t)] >= 0) {
        m_linking = true;
        m_columns->setCurrentItem(m_columns->topLevelItem(m_assignment[static_cast<size_t>(t)]));
        m_linking = false;
    }
}

void ImportPasswords::ok() {
    TransferOperations ops(m_ctx.store, m_ctx.messages);
    if (!ops.checkImportAssigned(m_assignment)) {
        return;
    }
    hide();
    auto pass = ops.startImport(m_text, m_user, m_source->columns(), m_assignment, m_strip->isChecked());
    pass->onAdded = m_ctx.activity;
    runProgress(
        this, m_ctx, QStringLiteral("ImportProgress"), QStringLiteral("Importing Records"), QString(),
        [&] { return pass->slice(25); }, [&] { return pass->percent(); }, [&] { pass->cancel(); });
    accept();
}

} // namespace zendrel
