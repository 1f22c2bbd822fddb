#include "monitor/MonitorWindow.h"

#include "base/DatePicture.h"
#include "entries/UpdatePasswords.h"
#include "framework/ListSelection.h"
#include "framework/WindowPlacement.h"
#include "monitor/MonitorWorker.h"
#include "monitor/QtTray.h"
#include "operations/EntryOperations.h"
#include "session/Login.h"
#include "session/LoginWindows.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace zendrel {

// ---- The list ----

const QStringList& MonitorEntryModel::headers() {
    static const QStringList h = {"!",           "Service",          "Name",    "URL", "Notes",
                                  "Expiry Date", "Last Change Date", "Filename"};
    return h;
}

void MonitorEntryModel::load(DataStore& store, const QString& user, int32_t today) {
    beginResetModel();
    m_rows.clear();
    if (!user.isEmpty()) {
        KeyRange range;
        range.prefix = {user};
        for (const PasswordRecord& e : Table<PasswordRecord>(store).read(QStringLiteral("P_:KeyService"), range)) {
            Row r;
            r.rowId = e.rowId;
            r.monitor = e.monitor == 1;
            r.expired = e.expiryDate != 0 && e.expiryDate < today;
            // Lines of the notes are shown on one line, as far as the column shows them.
            QString notes = e.notes.left(255);
            notes.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
            r.cells[0] = fitText(e.service, 30);
            r.cells[1] = fitText(e.name, 30);
            r.cells[2] = fitText(e.url, 90);
            r.cells[3] = notes;
            r.cells[4] = e.expiryDate ? formatDate(e.expiryDate, QStringLiteral("d17")) : QString();
            r.cells[5] = e.lastChangeDate ? formatDate(e.lastChangeDate, QStringLiteral("d17")) : QString();
            r.cells[6] = fitText(e.filename, 255);
            m_rows.push_back(std::move(r));
        }
    }
    endResetModel();
}

int MonitorEntryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int MonitorEntryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headers().size());
}

QVariant MonitorEntryModel::data(const QModelIndex& index, int role) const {
    const Row* r = row(index.row());
    if (!r) {
        return {};
    }
    if (index.column() == 0) {
        if (role == Qt::DecorationRole) {
            return QtTray::picture(r->monitor   ? QStringLiteral("~glasses.ico")
                                   : r->expired ? QStringLiteral("~redbox.ico")
                                                : QStringLiteral("~blank.ico"));
        }
        if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole) {
            return r->monitor ? QStringLiteral("Monitored") : r->expired ? QStringLiteral("Expired") : QString();
        }
        return {};
    }
    if (role == Qt::DisplayRole) {
        return r->cells[index.column() - 1];
    }
    return {};
}

QVariant MonitorEntryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < headers().size()) {
        return headers().at(section);
    }
    return {};
}

// ---- Preferences ----

MonitorPreferencesWindow::MonitorPreferencesWindow(MonitorOperations& ops, QWidget* parent)
    : QDialog(parent), m_ops(ops), m_opened(ops.openPreferences()) {
    setWindowTitle(QStringLiteral("Preferences"));
    setObjectName(QStringLiteral("Preferences"));
    m_stayOnTop = new QCheckBox(QStringLiteral("Stay on top when not minimized"), this);
    m_ask = new QCheckBox(QStringLiteral("Select user every time the monitor is restored from the tray"), this);
    m_askAtStart = new QCheckBox(QStringLiteral("Select user before minimizing on start up"), this);
    m_interval = new QSpinBox(this);
    m_interval->setRange(20, 250);
    m_interval->setAccessibleName(QStringLiteral("Send Interval"));
    m_groupSize = new QSpinBox(this);
    m_groupSize->setRange(1, 10);
    m_groupSize->setAccessibleName(QStringLiteral("Maximum Number of Characters per Send Group"));
    m_stayOnTop->setChecked(m_opened.stayOnTop);
    m_ask->setChecked(m_opened.askEveryRestore);
    m_askAtStart->setChecked(m_opened.askAtStart);
    m_interval->setValue(static_cast<int>(m_opened.sendInterval));
    m_groupSize->setValue(static_cast<int>(m_opened.groupSize));

    auto* form = new QFormLayout;
    form->addRow(m_stayOnTop);
    form->addRow(m_ask);
    form->addRow(m_askAtStart);
    form->addRow(QStringLiteral("Send Interval (1/100ths of a second):"), m_interval);
    form->addRow(QStringLiteral("Maximum Number of Characters per Send Group:"), m_groupSize);
    auto* buttons = new QDialogButtonBox(this);
    auto* okButton = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &MonitorPreferencesWindow::ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void MonitorPreferencesWindow::ok() {
    MonitorPreferences chosen;
    chosen.stayOnTop = m_stayOnTop->isChecked();
    chosen.askEveryRestore = m_ask->isChecked();
    chosen.askAtStart = m_askAtStart->isChecked();
    chosen.sendInterval = m_interval->value();
    chosen.groupSize = m_groupSize->value();
    m_ops.storePreferences(chosen, m_opened);
    accept();
}

// ---- The worker ----

WorkerQueue::WorkerQueue(MonitorWorker& worker) : m_worker(worker) {
    QObject::connect(&worker, &MonitorWorker::queueEmptyChanged, &worker, [this](bool empty) { m_empty = empty; });
}

void WorkerQueue::selectUser(const QString& user) {
    m_worker.selectUser(user);
}

void WorkerQueue::queueEntry(const PasswordRecord& entry) {
    m_worker.queueEntry(entry);
}

void WorkerQueue::setMonitorOn(bool on) {
    m_worker.setMonitorOn(on);
}

void WorkerQueue::setSettings(SendSettings settings) {
    m_worker.setSettings(settings);
}

// ---- The window ----

MonitorWindow::MonitorWindow(EntryServices services, MonitorWorker& worker, Tray& tray, QWidget* parent)
    : QWidget(parent), m_s(std::move(services)), m_worker(worker), m_tray(tray), m_queue(worker) {
    setWindowTitle(MonitorOperations::kTip);
    setObjectName(QStringLiteral("Main"));

    m_list = new QTableView(this);
    m_list->setModel(&m_model);
    m_list->setAccessibleName(QStringLiteral("Browsing Records"));
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    followSelectionWithCurrentRow(m_list);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setStretchLastSection(true);
    // Widths after the columns' pictures: a narrow icon column, then characters of text.
    const int ch = fontMetrics().averageCharWidth();
    const int widths[] = {3, 30, 30, 45, 60, 12, 12, 40};
    for (int c = 0; c < 8; ++c) {
        m_list->setColumnWidth(c, c == 0 ? 24 : widths[c] * ch);
    }
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { updateButtons(); });
    connect(m_list, &QTableView::doubleClicked, this, [this] { editEntry(false); });

    auto button = [this](const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* selectUser = button(QStringLiteral("Select &User"));
    QPushButton* tools = button(QStringLiteral("&Tools"));
    QPushButton* startUrl = button(QStringLiteral("Start UR&L"));
    QPushButton* add = button(QStringLiteral("&Add"));
    QPushButton* edit = button(QStringLiteral("&Edit"));
    QPushButton* options = button(QStringLiteral("&Options"));
    m_choice = new QComboBox(this);
    m_choice->addItems(MonitorOperations::sendChoices());
    m_choice->setAccessibleName(QStringLiteral("Send Choice"));
    m_choice->setMinimumContentsLength(20);
    QPushButton* send = button(QStringLiteral("&Send"));
    QPushButton* copy = button(QStringLiteral("&Clipboard"));
    m_onEntry = {startUrl, edit, send, copy};

    connect(selectUser, &QPushButton::clicked, this, [this] { m_ops->chooseUser(); });
    connect(tools, &QPushButton::clicked, this,
            [this, tools] { popup(tools->mapToGlobal(QPoint(0, tools->height()))); });
    connect(startUrl, &QPushButton::clicked, this, [this] {
        if (auto e = currentEntry()) {
            m_ops->open(*e);
        }
    });
    connect(add, &QPushButton::clicked, this, [this] { editEntry(true); });
    connect(edit, &QPushButton::clicked, this, [this] { editEntry(false); });
    connect(options, &QPushButton::clicked, this, [this] {
        MonitorPreferencesWindow w(*m_ops, this);
        w.exec();
    });
    connect(send, &QPushButton::clicked, this, [this] {
        if (auto e = currentEntry()) {
            m_ops->send(*e, m_choice->currentText());
        }
    });
    connect(copy, &QPushButton::clicked, this, [this] {
        if (auto e = currentEntry()) {
            m_ops->copy(*e, m_choice->currentText());
        }
    });

    auto* commands = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{selectUser, tools, startUrl, add, edit, options}) {
        commands->addWidget(w);
    }
    commands->addStretch();
    commands->addWidget(m_choice);
    commands->addWidget(send);
    commands->addWidget(copy);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(commands);
    resize(760, 360);

    MonitorWindowLink link;
    link.hide = [this] { hide(); };
    link.show = [this](bool topmost) {
        if (topmost && !(windowFlags() & Qt::WindowStaysOnTopHint)) {
            // Taking the attribute away again waits for the next session, as the preferences say.
            setWindowFlag(Qt::WindowStaysOnTopHint, true);
        }
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
        raise();
        activateWindow();
    };
    link.chooseUser = [this] {
        return SelectUsers::choose(m_s.store, m_s.messages, m_s.positions, LoginVariant::Monitor,
                                   isVisible() ? this : nullptr);
    };
    link.windowIcon = [this](const QString& icon) { setWindowIcon(QtTray::picture(icon)); };
    link.userChanged = [this] { showList(); };
    link.exit = [this] { close(); };
    m_ops = std::make_unique<MonitorOperations>(
        MonitorOperations::Services{m_s.store, m_s.messages, m_s.clock, m_tray, m_s.clipboard, m_s.shell, m_queue},
        link);

    m_tray.onClick = [this](Tray::Click c) {
        const QEvent::Type types[] = {monitor_event::LeftUp, monitor_event::RightUp, monitor_event::LeftDouble,
                                      monitor_event::RightDouble};
        QApplication::postEvent(this, new QEvent(types[static_cast<int>(c)]));
    };
    m_tray.onHostChanged = [this](bool present) { m_ops->trayHostChanged(present); };
    connect(&m_worker, &MonitorWorker::minimizeRequested, this,
            [this] { QApplication::postEvent(this, new QEvent(monitor_event::Minimize)); });
    connect(&m_worker, &MonitorWorker::message, this, [this](const QString& title, const QString& text) {
        // A send that ends in a message brings the window back to show it.
        if (!isVisible()) {
            QApplication::postEvent(this, new QEvent(monitor_event::Restore));
        }
        m_s.messages.show(title, text);
    });
    updateButtons();
}

MonitorWindow::~MonitorWindow() {
    m_tray.onClick = nullptr;
    m_tray.onHostChanged = nullptr;
}

bool MonitorWindow::start() {
    if (m_s.positions) {
        restorePlacement(this, *m_s.positions, QStringLiteral("Main"));
    }
    if (!m_ops->start()) {
        return false;
    }
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &MonitorWindow::tick);
    timer->start(500);
    return true;
}

void MonitorWindow::tick() {
    if (auto* qt = dynamic_cast<QtTray*>(&m_tray)) {
        qt->watchHost();
    }
    m_ops->tick();
}

void MonitorWindow::showList() {
    m_model.load(m_s.store, m_ops->userSelected() ? m_ops->selectedUser() : QString(), m_s.clock.today());
    setWindowTitle(MonitorOperations::kTip);
    if (m_model.rowCount() > 0) {
        m_list->selectRow(0);
    }
    updateButtons();
}

void MonitorWindow::updateButtons() {
    // Commands on an entry need a row of the list shown: never a buffer left from an earlier user.
    const bool selected = m_ops && m_ops->userSelected() && m_model.row(m_list->currentIndex().row()) != nullptr;
    for (QPushButton* b : m_onEntry) {
        b->setEnabled(selected);
    }
}

std::optional<PasswordRecord> MonitorWindow::currentEntry() {
    const MonitorEntryModel::Row* r = m_model.row(m_list->currentIndex().row());
    if (!r || !m_ops->userSelected()) {
        return std::nullopt;
    }
    auto e = Table<PasswordRecord>(m_s.store).get(r->rowId);
    if (!e || fitText(e->user, width::kUserName).compare(m_ops->selectedUser(), Qt::CaseInsensitive) != 0) {
        m_s.messages.show(QStringLiteral("Warning"),
                          QStringLiteral("This entry has been changed or deleted by another program; the list is "
                                         "read afresh."));
        m_ops->entriesChanged();
        return std::nullopt;
    }
    return e;
}

void MonitorWindow::editEntry(bool insert) {
    if (!m_ops->userSelected()) {
        return;
    }
    const auto user = Login(m_s.store).findUser(m_ops->selectedUser());
    if (!user) {
        m_s.messages.show(QStringLiteral("Warning"),
                          QStringLiteral("The user %1 no longer exists.").arg(m_ops->selectedUser()));
        m_ops->chooseUser();
        return;
    }
    PasswordRecord entry;
    if (insert) {
        entry = Table<PasswordRecord>(m_s.store).prime();
        EntryOperations(m_s.store, m_s.messages, m_s.clock).prime(entry, fitText(user->name, width::kUserName));
    } else {
        auto e = currentEntry();
        if (!e) {
            return;
        }
        entry = *e;
    }
    bool monitorChanged = false;
    const bool saved =
        UpdatePasswords::run(m_s, insert ? EntryOperations::Request::Insert : EntryOperations::Request::Change, entry,
                             *user, UpdatePasswords::FormVariant::Monitor, monitorChanged, this);
    if (saved) {
        // The watched entries are loaded afresh after every change made here.
        m_ops->entriesChanged();
        for (int r = 0; r < m_model.rowCount(); ++r) {
            if (m_model.row(r)->rowId == entry.rowId) {
                m_list->selectRow(r);
            }
        }
    }
}

void MonitorWindow::popup(const QPoint& at) {
    QMenu menu(this);
    for (const QString& item : m_ops->popupMenu()) {
        if (item == QLatin1String("-")) {
            menu.addSeparator();
        } else {
            menu.addAction(item);
        }
    }
    if (QAction* chosen = menu.exec(at)) {
        runMenu(chosen->text());
    }
}

void MonitorWindow::runMenu(const QString& item) {
    if (item == QLatin1String("&About")) {
        QMessageBox::about(isVisible() ? this : nullptr, QStringLiteral("About Zendrel Monitor"),
                           QStringLiteral("Zendrel Monitor\n\nTypes the chosen user's watched logins whenever their "
                                          "windows appear, and one field of an entry on demand."));
    } else if (item == QLatin1String("&Preferences")) {
        MonitorPreferencesWindow w(*m_ops, nullptr);
        w.exec();
    } else {
        m_ops->menu(item);
    }
}

bool MonitorWindow::event(QEvent* e) {
    switch (static_cast<int>(e->type())) {
    case monitor_event::Restore:
        m_ops->restore();
        return true;
    case monitor_event::Minimize:
        m_ops->minimize();
        return true;
    case monitor_event::LeftUp:
        QApplication::postEvent(this, new QEvent(monitor_event::Restore));
        return true;
    case monitor_event::RightUp:
        popup(QCursor::pos());
        return true;
    case monitor_event::LeftDouble:
    case monitor_event::RightDouble:
        return true;
    default:
        return QWidget::event(e);
    }
}

void MonitorWindow::changeEvent(QEvent* e) {
    // Minimising the window sends it to the notification area.
    if (e->type() == QEvent::WindowStateChange && isMinimized() && !m_closing) {
        QApplication::postEvent(this, new QEvent(monitor_event::Minimize));
    }
    QWidget::changeEvent(e);
}

void MonitorWindow::closeEvent(QCloseEvent* e) {
    if (!m_closing) {
        m_closing = true;
        if (m_s.positions && isVisible()) {
            savePlacement(this, *m_s.positions, QStringLiteral("Main"));
        }
        m_tray.remove();
        m_worker.stop();
    }
    e->accept();
    QApplication::quit();
}

} // namespace zendrel
