#include "entries/BrowsePasswords.h"

#include "base/ClipboardFilter.h"
#include "base/DatePicture.h"
#include "entries/ClipboardDisplay.h"
#include "entries/InfoWindows.h"
#include "entries/UpdatePasswords.h"
#include "framework/ColumnLayout.h"
#include "framework/ListSelection.h"
#include "framework/FrameEvents.h"
#include "monitor/MonitorWorker.h"
#include "operations/EntryOperations.h"
#include "send/Sender.h"
#include "session/Login.h"
#include "session/LoginWindows.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

namespace zendrel {

namespace {

const QString kProcedure = QStringLiteral("BrowsePasswords");
const QString kListName = QStringLiteral("?Browse:1");

// The designed widths of the six columns, in dialog units (a quarter of an average character).
constexpr int kColumnUnits[] = {75, 76, 63, 153, 44, 45};
// The rows a list shows when it first opens.
constexpr int kFirstRows = 12;

// The list selects whole rows: Home and End (with or without Ctrl) go to the first and the last row and
// stay in the column the list is at, instead of going to the first or last column and scrolling sideways.
class EntryView : public QTableView {
public:
    using QTableView::QTableView;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override {
        if ((action == MoveHome || action == MoveEnd) && model() != nullptr && model()->rowCount() > 0) {
            const int column = currentIndex().isValid() ? currentIndex().column() : columnAt(0);
            return model()->index(action == MoveHome ? 0 : model()->rowCount() - 1, std::max(column, 0));
        }
        return QTableView::moveCursor(action, modifiers);
    }
};

// A button as narrow as its caption allows, so that lists fit side by side in the frame; it still asks
// for its usual width where there is room.
void narrowable(QPushButton* b) {
    const int margin = b->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b) +
                       b->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
    QString caption = b->text();
    caption.remove(QLatin1Char('&'));
    b->setMinimumWidth(b->fontMetrics().horizontalAdvance(caption) + 2 * margin + 4);
}

} // namespace

BrowsePasswords::BrowsePasswords(EntryServices services, ListLink link, const UserRecord& user, QWidget* parent)
    : PlacedDialog(services.positions, kProcedure, parent), m_s(std::move(services)), m_link(std::move(link)),
      m_user(user), m_model(m_s.store, m_s.clock) {
    setModal(false);
    build();
    m_model.setDatePicture(replaceDatePictures(QStringLiteral("@d17"), m_s.datePicture()));
    m_model.setUser(fitText(m_user.name, width::kUserName));
    setTitle();
    place();
    setColumnWidths();
    if (m_s.positions) {
        restoreColumns(m_view->horizontalHeader(), *m_s.positions, kProcedure, kListName);
    }
    keepHeaderTextsWhole(m_view->horizontalHeader());
    selectRow(0);
    updateEnabling();
    hideClipboard(m_s.hideClipboard());
    joinUser(m_user);
    m_view->setFocus();
}

BrowsePasswords::~BrowsePasswords() {
    if (m_s.positions) {
        saveColumns(m_view->horizontalHeader(), *m_s.positions, kProcedure, kListName);
    }
    leaveUser();
}

std::optional<UserRecord> BrowsePasswords::establishUser(DataStore& store, MessageService& messages,
                                                         WindowPositions* positions, int preset, QWidget* parent) {
    if (preset < 1 || preset > 3) {
        auto chosen = SelectUsers::choose(store, messages, positions, LoginVariant::Main, parent);
        if (!chosen || fitText(chosen->name, width::kUserName).isEmpty()) {
            return std::nullopt;
        }
        return chosen;
    }
    std::vector<UserRecord> first;
    try {
        first = Table<UserRecord>(store).readPhysical(0, 3);
    } catch (const StoreError&) {
        return std::nullopt;
    }
    if (preset > static_cast<int>(first.size())) {
        return std::nullopt;
    }
    UserRecord user = first[static_cast<size_t>(preset - 1)];
    if (Login::requiresPassword(user) && !ConfirmPassword::check(user, messages, positions, LoginVariant::Main, parent)) {
        return std::nullopt;
    }
    return user;
}

void BrowsePasswords::build() {
    m_tabs = new QTabBar(this);
    for (const char* t : {"Service", "URL", "Name", "Date", "Expired"}) {
        m_tabs->addTab(QString::fromLatin1(t));
    }
    m_tabs->setAccessibleName(QStringLiteral("Sort order"));
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int tab) {
        m_model.setOrder(static_cast<PasswordListModel::Order>(tab));
        selectRow(0);
        updateEnabling();
        m_view->setFocus();
    });

    m_view = new EntryView(this);
    m_view->setModel(&m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setAlternatingRowColors(true);
    m_view->setWordWrap(false);
    m_view->setTabKeyNavigation(false);  // Tab leaves the list for its buttons
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_view->horizontalHeader()->setSectionsMovable(true);
    m_view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_view->setToolTip(QStringLiteral("Browsing Records"));
    m_view->setAccessibleName(QStringLiteral("Browsing Records"));
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    m_view->installEventFilter(this);
    connect(m_view, &QTableView::doubleClicked, this, [this] { changeEntry(); });
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &BrowsePasswords::updateEnabling);
    followSelectionWithCurrentRow(m_view);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &BrowsePasswords::updateEnabling);
    connect(&m_model, &QAbstractItemModel::modelReset, this, &BrowsePasswords::updateEnabling);

    auto button = [this](const QString& text, const QString& tip, void (BrowsePasswords::*slot)()) {
        auto* b = new QPushButton(text, this);
        narrowable(b);
        b->setToolTip(tip);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    auto* selectUserButton =
        button(QStringLiteral("Select User"), QStringLiteral("Change to password list for another user"), &BrowsePasswords::selectUser);
    auto* add = button(QStringLiteral("&Add"), QStringLiteral("Add password/information"), &BrowsePasswords::addEntry);
    m_copy = button(QStringLiteral("Cop&y"), QString(), &BrowsePasswords::copyEntry);
    auto* change = button(QStringLiteral("&Change"), QStringLiteral("Edit password/information"), &BrowsePasswords::changeEntry);
    auto* remove = button(QStringLiteral("&Delete"), QStringLiteral("Remove password/information"), &BrowsePasswords::deleteEntry);
    auto* send = button(QStringLiteral("Send"), QStringLiteral("Semi-automatic send of password/information"),
                        &BrowsePasswords::sendEntry);
    auto* close = button(QStringLiteral("Cl&ose"), QStringLiteral("Exit this password list"), &BrowsePasswords::reject);
    m_rowButtons = {change, remove, send};

    auto* copyGroup = new QGroupBox(QStringLiteral("Copy Into Clipboard"), this);
    auto* copyRow = new QHBoxLayout(copyGroup);
    const std::vector<std::pair<QString, QString>> copies = {
        {QStringLiteral("&Name"), QStringLiteral("Name")},   {QStringLiteral("&Password"), QStringLiteral("Password")},
        {QStringLiteral("&URL"), QStringLiteral("URL")},     {QStringLiteral("No&tes"), QStringLiteral("Notes")},
        {QStringLiteral("&More Notes"), QStringLiteral("More Notes")}, {QStringLiteral("&Service"), QStringLiteral("Service")}};
    std::vector<QPushButton*> copyButtons;
    for (const auto& [text, field] : copies) {
        auto* b = new QPushButton(text, copyGroup);
        narrowable(b);
        b->setAutoDefault(false);
        b->setAccessibleName(QStringLiteral("Copy ") + field);
        if (field == QLatin1String("Name")) {
            b->setToolTip(QStringLiteral("Copy Name onto Clipboard"));
        }
        const QString f = field;
        connect(b, &QPushButton::clicked, this, [this, f] { copyField(f); });
        copyRow->addWidget(b);
        copyButtons.push_back(b);
        m_rowButtons << b;
    }

    m_clipboard = new ClipboardDisplay(m_s.clipboard, this);

    // The popup menu of the list.
    m_menu = new QMenu(this);
    QAction* launch = m_menu->addAction(QStringLiteral("&Launch URL"), this, &BrowsePasswords::launchUrl);
    QAction* sendItem = m_menu->addAction(send->text(), this, &BrowsePasswords::sendEntry);
    m_menu->addSeparator();
    for (size_t i = 0; i < copies.size(); ++i) {
        const QString f = copies[i].second;
        m_rowActions << m_menu->addAction(copies[i].first, this, [this, f] { copyField(f); });
    }
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Filter Clipboard"), this, &BrowsePasswords::filterClipboard);
    m_menu->addSeparator();
    QAction* display = m_menu->addAction(QStringLiteral("Display All"), this, &BrowsePasswords::displayAll);
    QAction* copyItem = m_menu->addAction(m_copy->text(), this, &BrowsePasswords::copyEntry);
    m_whileRows = {launch, sendItem, display, copyItem};
    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = m_view->indexAt(at);
        if (index.isValid()) {
            selectRow(index.row());
        }
        updateEnabling();
        m_menu->popup(m_view->viewport()->mapToGlobal(at));
    });

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {selectUserButton, add, m_copy, change, remove, send}) {
        buttons->addWidget(b);
    }
    buttons->addStretch();
    buttons->addWidget(close);
    auto* clip = new QHBoxLayout;
    clip->addWidget(m_clipboard->prompt());
    clip->addWidget(m_clipboard->line(), 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);
    layout->addWidget(copyGroup);
    layout->addLayout(clip);
}

void BrowsePasswords::setColumnWidths() {
    const int charWidth = m_view->fontMetrics().averageCharWidth();
    QHeaderView* header = m_view->horizontalHeader();
    for (int c = 0; c < 6; ++c) {
        // Never narrower than the column's title ("Expiry Date", "Last Change Date").
        header->resizeSection(c, std::max(kColumnUnits[c] * charWidth / 4, header->sectionSizeHint(c)));
    }
}

QSize BrowsePasswords::sizeHint() const {
    QSize hint = PlacedDialog::sizeHint();
    if (m_view == nullptr) {
        return hint;
    }
    // Every column whole and a dozen rows, however the buttons would have it.
    const int frame = 2 * m_view->frameWidth();
    const QSize view(m_view->horizontalHeader()->length() + frame + m_view->verticalScrollBar()->sizeHint().width(),
                     m_view->horizontalHeader()->sizeHint().height() +
                         m_view->verticalHeader()->defaultSectionSize() * kFirstRows + frame +
                         m_view->horizontalScrollBar()->sizeHint().height());
    const QMargins margins = layout() ? layout()->contentsMargins() : QMargins();
    hint.setWidth(std::max(hint.width(), view.width() + margins.left() + margins.right()));
    hint.setHeight(hint.height() + std::max(0, view.height() - m_view->sizeHint().height()));
    return hint;
}

void BrowsePasswords::setTitle() {
    setWindowTitle(QStringLiteral("Passwords - ") + fitText(m_user.name, width::kUserName));
}

int BrowsePasswords::selectedRow() const {
    const QModelIndex current = m_view->selectionModel()->currentIndex();
    if (!current.isValid() || !m_view->selectionModel()->isRowSelected(current.row(), {})) {
        return -1;
    }
    return current.row();
}

void BrowsePasswords::selectRow(int row) {
    if (row < 0 || row >= m_model.rowCount()) {
        m_view->selectionModel()->clearSelection();
        m_view->selectionModel()->setCurrentIndex({}, QItemSelectionModel::Clear);
    } else {
        // The row comes into sight; the list is not scrolled sideways for it.
        const int across = m_view->horizontalScrollBar()->value();
        m_view->selectRow(row);
        m_view->scrollTo(m_model.index(row, 0));
        m_view->horizontalScrollBar()->setValue(across);
    }
    updateEnabling();
}

void BrowsePasswords::updateEnabling() {
    if (!m_copy) {
        return;
    }
    const bool rows = m_model.rowCount() > 0;
    const bool selected = rows && selectedRow() >= 0;
    for (QWidget* b : m_rowButtons) {
        b->setEnabled(selected);
    }
    for (QAction* a : m_rowActions) {
        a->setEnabled(selected);
    }
    for (QAction* a : m_whileRows) {
        a->setEnabled(selected);
    }
    m_copy->setEnabled(selected);
}

void BrowsePasswords::hideClipboard(bool hide) {
    if (hide == m_clipboard->isHidden()) {
        return;
    }
    const int room = m_clipboard->line()->sizeHint().height();
    m_clipboard->setHidden(hide);
    // The window gives up (or takes back) the room of the display.
    if (isVisible()) {
        resize(width(), hide ? height() - room : height() + room);
    }
}

std::optional<PasswordRecord> BrowsePasswords::selectedEntry() {
    const int row = selectedRow();
    if (row < 0) {
        return std::nullopt;
    }
    auto entry = m_model.entryAt(row);
    if (entry && entry->user.compare(fitText(m_user.name, width::kUserName), Qt::CaseInsensitive) == 0) {
        return entry;
    }
    // Another window or program has deleted the entry, moved it to another user or renamed the user
    // since the list was read: the list follows and is read afresh, and nothing is done.
    const QString before = m_user.name;
    userChangedElsewhere();
    if (m_user.name == before) {
        refresh();
    }
    return std::nullopt;
}

void BrowsePasswords::refresh() {
    std::optional<PasswordRecord> kept;
    const int row = selectedRow();
    if (row >= 0) {
        kept = m_model.entryAt(row);
    }
    m_model.refresh();
    int again = kept ? m_model.rowOf(*kept) : -1;
    if (again < 0) {
        again = std::min(row, m_model.rowCount() - 1);
        again = std::max(again, 0);
    }
    selectRow(again);
}

bool BrowsePasswords::runForm(int request, PasswordRecord& entry) {
    bool monitorChanged = false;
    const bool done =
        UpdatePasswords::run(m_s, static_cast<EntryOperations::Request>(request), entry, m_user, monitorChanged, this);
    if (monitorChanged) {
        noticeChanged(m_user.name);
    }
    // The form writes the name last used on the user's record; another window may have renamed him.
    userChangedElsewhere();
    return done;
}

void BrowsePasswords::addEntry() {
    Table<PasswordRecord> entries(m_s.store);
    const PasswordRecord primed = entries.prime();
    PasswordRecord entry = primed;
    if (m_copyNext) {
        m_copyNext = false;
        auto selected = selectedEntry();
        if (!selected) {
            return;
        }
        entry = *selected;
        entry.rowId = 0;
        entry.id = primed.id;
        entry.level = primed.level;
    }
    EntryOperations(m_s.store, m_s.messages, m_s.clock).prime(entry, fitText(m_user.name, width::kUserName));
    if (runForm(1, entry)) {
        m_model.refresh();
        selectRow(std::max(m_model.rowOf(entry), 0));
    }
    m_view->setFocus();
}

void BrowsePasswords::copyEntry() {
    if (selectedRow() < 0) {
        return;
    }
    m_copyNext = true;
    addEntry();
}

void BrowsePasswords::changeEntry() {
    auto entry = selectedEntry();
    if (!entry) {
        return;
    }
    if (runForm(2, *entry)) {
        m_model.refresh();
        selectRow(std::max(m_model.rowOf(*entry), 0));
    }
    m_view->setFocus();
}

void BrowsePasswords::deleteEntry() {
    auto entry = selectedEntry();
    if (!entry) {
        return;
    }
    if (runForm(3, *entry)) {
        refresh();
    }
    m_view->setFocus();
}

void BrowsePasswords::sendEntry() {
    auto entry = selectedEntry();
    if (!entry) {
        return;
    }
    // The entry's program or document first, so that its window can be the one typed into.
    startEntryProgram(entry->filename, m_s.shell, m_s.messages);
    if (m_link.monitor) {
        // The frame hears of the send before the engine can answer it: a "Cannot Send" must find the frame
        // minimised already, and bring it back, not be followed by the minimising.
        postToFrame(frame_event::EntryQueued);
        if (!m_link.monitorOn || !m_link.monitorOn()) {
            postToFrame(frame_event::SendRequested);
        }
        m_link.monitor->queueEntry(*entry);
    }
    refresh();
    m_view->setFocus();
}

void BrowsePasswords::copyField(const QString& field) {
    auto entry = selectedEntry();
    if (!entry) {
        return;
    }
    if (!EntryOperations::copyField(*entry, field, m_s.clipboard)) {
        return;
    }
    m_clipboard->refresh();
    m_view->setFocus();
}

void BrowsePasswords::launchUrl() {
    auto entry = selectedEntry();
    if (!entry) {
        return;
    }
    const QString url = entry->url.trimmed();
    if (url.isEmpty()) {
        return;
    }
    // An internet address, with or without its scheme ("www.bank.example"); a file or another kind of
    // link in the field (an imported one, say) is not handed to the desktop to open or run.
    const QUrl address = QUrl::fromUserInput(url);
    static const QStringList schemes = {"http", "https", "ftp", "mailto"};
    if (!address.isValid() || !schemes.contains(address.scheme().toLower())) {
        m_s.messages.show(QStringLiteral("Launch URL"),
                          QStringLiteral("Only internet and mail addresses are opened:|") + url);
        return;
    }
    std::string error;
    if (!m_s.shell.openDocument(address.toString().toStdString(), error)) {
        m_s.messages.show(Message{QStringLiteral("Launch URL"),
                                  QStringLiteral("The address could not be opened:|") + url + QStringLiteral("|") +
                                      QString::fromStdString(error),
                                  Buttons::Ok, Answer::Ok, false, MessageKind::Error});
    }
}

void BrowsePasswords::filterClipboard() {
    const QString text = QString::fromStdString(m_s.clipboard.text());
    m_s.clipboard.setText(filterClipboardText(text).toStdString(), false);
    m_clipboard->refresh();
}

void BrowsePasswords::displayAll() {
    auto entry = selectedEntry();
    if (!entry) {
        return;
    }
    DisplayAll w(*entry, m_s.datePicture(), m_s.positions, this);
    w.exec();
}

void BrowsePasswords::selectUser() {
    auto chosen = SelectUsers::choose(m_s.store, m_s.messages, m_s.positions, LoginVariant::Main, this);
    if (!chosen || fitText(chosen->name, width::kUserName).isEmpty()) {
        // The list keeps its user, as he is stored now; it closes when he is gone.
        userChangedElsewhere();
        return;
    }
    // The engine counts the lists of each user: this one leaves the old user and joins the new one.
    joinUser(*chosen);
    m_model.setUser(fitText(m_user.name, width::kUserName));
    setTitle();
    selectRow(0);
    Q_EMIT userSwitched();
}

void BrowsePasswords::userChangedElsewhere() {
    auto fresh = Table<UserRecord>(m_s.store).get(m_user.rowId);
    if (!fresh) {
        // His entries went with him: the engine drops them now, not when the window is finally deleted.
        leaveUser();
        close();
        return;
    }
    if (fitText(fresh->name, width::kName) != fitText(m_user.name, width::kUserName)) {
        joinUser(*fresh);
        m_model.setUser(fitText(m_user.name, width::kUserName));
        setTitle();
        selectRow(0);
        Q_EMIT userSwitched();
        return;
    }
    m_user = *fresh;
}

void BrowsePasswords::postToFrame(int type) {
    if (m_link.frame) {
        QApplication::postEvent(m_link.frame, new QEvent(static_cast<QEvent::Type>(type)));
    }
}

void BrowsePasswords::joinUser(const UserRecord& user) {
    leaveUser();
    m_user = user;
    m_listed = fitText(user.name, width::kUserName);
    if (m_link.monitor) {
        m_link.monitor->userOpened(m_listed);
    }
    postToFrame(frame_event::UsersChanged);
}

void BrowsePasswords::leaveUser() {
    if (m_listed.isEmpty()) {
        return;
    }
    if (m_link.monitor) {
        m_link.monitor->userClosed(m_listed);
    }
    m_listed.clear();
    postToFrame(frame_event::UsersChanged);
}

void BrowsePasswords::noticeChanged(const QString& user) {
    if (m_link.monitor) {
        m_link.monitor->userChanged(fitText(user, width::kUserName));
    }
    postToFrame(frame_event::UsersChanged);
}

bool BrowsePasswords::event(QEvent* e) {
    if (e->type() != QEvent::Timer && m_clipboard) {
        hideClipboard(m_s.hideClipboard());
    }
    return PlacedDialog::event(e);
}

bool BrowsePasswords::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_view && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        const QString text = k->text();
        const bool plain = (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
        if (plain && text.size() == 1 && text.at(0).isPrint() && !text.at(0).isSpace()) {
            // The step locator of the order shown.
            const int row = m_model.locate(text.at(0));
            if (row >= 0) {
                selectRow(row);
            }
            return true;
        }
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            changeEntry();
            return true;
        }
    }
    return PlacedDialog::eventFilter(watched, e);
}

} // namespace zendrel
