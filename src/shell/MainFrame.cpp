#include "shell/MainFrame.h"

#include "entries/BrowsePasswords.h"
#include "framework/WindowPlacement.h"
#include "framework/WindowPositions.h"
#include "session/Login.h"
#include "session/UsersWindows.h"
#include "shell/AboutWindow.h"
#include "shell/Options.h"
#include "shell/PassphraseWindows.h"
#include "operations/PassphraseOperations.h"
#include "shell/TransferWindows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace zendrel {

CloseDownWindow::CloseDownWindow(Clock& clock, WindowPositions* positions, QWidget* parent)
    : PlacedDialog(positions, QStringLiteral("Countdown"), parent), m_countdown(clock) {
    setWindowTitle(QStringLiteral("Automatic Close Down"));
    auto* question = new QLabel(QStringLiteral("Due to inactivity, Zendrel will shut down in"), this);
    m_line = new QLabel(m_countdown.line(), this);
    m_line->setAccessibleName(QStringLiteral("Seconds left"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addWidget(m_line);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &CloseDownWindow::tick);
    m_timer->start(250);
    setAttribute(Qt::WA_DeleteOnClose);
    place();
}

QString CloseDownWindow::line() const {
    return m_line->text();
}

void CloseDownWindow::tick() {
    m_countdown.tick();
    m_line->setText(m_countdown.line());
    if (m_countdown.expired()) {
        m_timer->stop();
        Q_EMIT expired();
        close();
    }
}

Main::Main(FrameContext context, QWidget* parent)
    : QMainWindow(parent), m_ctx(std::move(context)), m_timers(m_ctx.clock, m_ctx.clipboard) {
    setWindowTitle(QStringLiteral("Zendrel"));
    setObjectName(QStringLiteral("Main"));
    m_mdi = new QMdiArea(this);
    m_mdi->setAccessibleName(QStringLiteral("Windows"));
    // Windows that do not fit are scrolled to; tiling and cascading never widen the frame for them.
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);

    m_monitorOn = m_ctx.settings.monitorActive != 0;
    m_timers.setClearSeconds(m_ctx.settings.clearSeconds);
    m_timers.setInactivityMinutes(m_ctx.settings.inactivityMinutes);

    m_worker = std::make_unique<MonitorWorker>(
        EngineProgram::Main, m_ctx.store, m_ctx.clock,
        SendSettings{static_cast<int>(m_ctx.settings.groupSize), m_ctx.settings.sendInterval}, m_ctx.sendBackends);
    m_worker->setMonitorOn(m_monitorOn);
    connect(m_worker.get(), &MonitorWorker::message, this, [this](const QString& title, const QString& text) {
        // A send minimised the frame; the message that ends it is shown on the frame brought back.
        if (isMinimized()) {
            setWindowState(windowState() & ~Qt::WindowMinimized);
            show();
        }
        raise();
        activateWindow();
        m_ctx.messages.show(title, text);
    });
    connect(m_worker.get(), &MonitorWorker::minimizeRequested, this,
            [this] { minimizeForSend(); });
    connect(m_worker.get(), &MonitorWorker::queueEmptyChanged, this, [this](bool empty) {
        m_queueEmpty = empty;
        m_marker->setText(m_monitorOn && !empty ? QStringLiteral("*") : QStringLiteral(" "));
    });

    buildMenus();
    buildToolBar();
    for (int i = 0; i < 3; ++i) {
        m_fields[i] = new QLabel(this);
        m_fields[i]->setAccessibleName(QStringList{"Status", "Date", "Time"}[i]);
        statusBar()->addPermanentWidget(m_fields[i]);
    }
    refreshUserButtons();
    if (!m_ctx.positions || !restorePlacement(this, *m_ctx.positions, QStringLiteral("Main"))) {
        placeFirstTime();
    }

    // Every input in any window of the program counts as activity; ticks and notices do not.
    qApp->installEventFilter(this);
    // Log-off and shut-down: agree at once, then close in order.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    });

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &Main::tick);
    m_timer->start(500);
    tick();
}

Main::~Main() {
    qApp->removeEventFilter(this);
    // A countdown window still open goes with the frame's children, when the frame is no longer one.
    if (m_closeDown) {
        QObject::disconnect(m_closeDown, nullptr, this, nullptr);
    }
    // The child windows tell the engine that they close, so they go while it is still there.
    for (QMdiSubWindow* w : m_mdi->subWindowList()) {
        delete w;
    }
    m_worker->stop();
}

void Main::synchronize() {
    if (!m_ctx.dialogs) {
        return;
    }
    if (!m_sync) {
        m_sync = std::make_unique<SyncWindows>(m_ctx.store, m_ctx.messages, *m_ctx.dialogs, m_ctx.positions, this);
    }
    Synchronize window(*m_sync, m_ctx.positions, this);
    window.exec();
}

void Main::showOptions() {
    OptionsOperations operations(m_ctx.store);
    Options window(operations, m_ctx.settings, m_ctx.positions, this);
    if (window.exec() == QDialog::Accepted) {
        settingsChanged();
    }
}

void Main::passphrase() {
    if (!m_ctx.directoryLock) {
        return;
    }
    PassphraseOperations operations(m_ctx.store, *m_ctx.directoryLock);
    PassphraseSetup window(operations, m_ctx.positions, this);
    window.exec();
}

ReportWindows& Main::reports() {
    if (!m_reports) {
        m_reports = std::make_unique<ReportWindows>(m_ctx.store, m_ctx.messages, m_ctx.dialogs, m_ctx.clock,
                                                    m_ctx.positions, this);
        m_reports->setActivity([this] { m_timers.userActivity(); });
    }
    return *m_reports;
}

void Main::printReport(ReportKind kind) {
    reports().run(kind, ReportOptions::of(m_ctx.settings));
}

void Main::settingsChanged() {
    // The password windows read the program's copies at their next enabling pass; the date picture in
    // every window opened from now on. The monitor's state at start-up waits for the next start.
    m_timers.setClearSeconds(m_ctx.settings.clearSeconds);
    m_timers.setInactivityMinutes(m_ctx.settings.inactivityMinutes);
    m_worker->setSettings(SendSettings{static_cast<int>(m_ctx.settings.groupSize), m_ctx.settings.sendInterval});
}

void Main::transfer(bool importing) {
    if (!m_ctx.dialogs || DelimitedText::busy()) {
        return;
    }
    // One transfer at a time: both commands wait for this one to end.
    m_importAction->setEnabled(false);
    m_exportAction->setEnabled(false);
    TransferContext ctx{m_ctx.store, m_ctx.messages, *m_ctx.dialogs, m_ctx.positions,
                        [this] { m_timers.userActivity(); }};
    if (importing) {
        ImportPasswords::run(ctx, this);
    } else {
        ExportPasswords::run(ctx, this);
    }
    m_importAction->setEnabled(true);
    m_exportAction->setEnabled(true);
}

void Main::buildMenus() {
    auto add = [this](QMenu* menu, const QString& text, const QString& tip, bool enabled,
                      std::function<void()> action = nullptr) {
        QAction* a = menu->addAction(text);
        a->setStatusTip(tip);
        a->setToolTip(tip);
        a->setEnabled(enabled);
        if (action) {
            connect(a, &QAction::triggered, this, action);
        }
        return a;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    // The password list, the users, reports, transfer and synchronization come with their windows.
    add(file, QStringLiteral("Pass&words"), QStringLiteral("Browse Passwords"), true, [this] { browsePasswords(); });
    add(file, QStringLiteral("&User Setup"), QStringLiteral("Browse Users"), true, [this] { browseUsers(); });
    QMenu* print = file->addMenu(QStringLiteral("&Print"));
    print->setStatusTip(QStringLiteral("Print Report"));
    const std::pair<const char*, const char*> kinds[] = {{"by Service", "Print ordered by Service"},
                                                         {"by URL", "Print ordered by URL"},
                                                         {"by Name", "Print ordered by Name"},
                                                         {"by Last Date Changed", "Print Report"},
                                                         {"Master Report", "Print Report"}};
    for (int i = 0; i < 5; ++i) {
        add(print, QString::fromLatin1(kinds[i].first), QString::fromLatin1(kinds[i].second), true,
            [this, i] { printReport(static_cast<ReportKind>(i)); });
    }
    add(file, QStringLiteral("Print &Setup ..."), QStringLiteral("Setup printer"), true,
        [this] { reports().printSetup(); });
    m_importAction = add(file, QStringLiteral("&Import"), {}, m_ctx.dialogs != nullptr, [this] { transfer(true); });
    m_exportAction = add(file, QStringLiteral("&Export"), {}, m_ctx.dialogs != nullptr, [this] { transfer(false); });
    add(file, QStringLiteral("S&ynchronize"), QStringLiteral("Synchronize between two Zendrel databases"),
        m_ctx.dialogs != nullptr, [this] { synchronize(); });
    add(file, QStringLiteral("Passp&hrase ..."), QStringLiteral("Set, change or remove the data directory's passphrase"),
        m_ctx.directoryLock != nullptr, [this] { passphrase(); });
    file->addSeparator();
    add(file, QStringLiteral("E&xit"), QStringLiteral("Exit this application"), true, [this] { close(); });

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    add(edit, QStringLiteral("Cu&t"), {}, true, [this] { editCommand("cut"); })->setShortcut(QKeySequence::Cut);
    add(edit, QStringLiteral("&Copy"), {}, true, [this] { editCommand("copy"); })->setShortcut(QKeySequence::Copy);
    add(edit, QStringLiteral("&Paste"), {}, true, [this] { editCommand("paste"); })->setShortcut(QKeySequence::Paste);
    edit->addSeparator();
    add(edit, QStringLiteral("Filter Clipboard Contents"),
        QStringLiteral("Remove excess spaces and non-alphanumeric characters"), true, [this] { filterClipboard(); });

    QAction* options = menuBar()->addAction(QStringLiteral("O&ptions"));
    options->setStatusTip(QStringLiteral("Set the program's options"));
    connect(options, &QAction::triggered, this, [this] { showOptions(); });

    QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
    add(window, QStringLiteral("T&ile"), {}, true, [this] { m_mdi->tileSubWindows(); });
    add(window, QStringLiteral("&Cascade"), {}, true, [this] { m_mdi->cascadeSubWindows(); });
    add(window, QStringLiteral("&Arrange Icons"), {}, true, [this] { arrangeIcons(); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    add(help, QStringLiteral("&Contents"), {}, true, [this] { contents(); });
    add(help, QStringLiteral("&About"), {}, true, [this] { about(); });
}

void Main::buildToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Commands"));
    bar->setObjectName(QStringLiteral("Commands"));
    bar->setMovable(false);
    auto button = [bar, this](const QString& text, const QString& tip) {
        auto* b = new QToolButton(bar);
        b->setText(text);
        b->setToolTip(tip);
        b->setStatusTip(tip);
        b->setAccessibleName(text);
        bar->addWidget(b);
        return b;
    };
    connect(button(QStringLiteral("Passwords"), QStringLiteral("Browse Passwords")), &QToolButton::clicked, this,
            [this] { browsePasswords(); });
    connect(button(QStringLiteral("Users"), QStringLiteral("Browse Users")), &QToolButton::clicked, this,
            [this] { browseUsers(); });
    for (int i = 0; i < 3; ++i) {
        m_userButtons[i] = button(QStringLiteral("User #%1").arg(i + 1), QStringLiteral("Passwords of this user"));
        connect(m_userButtons[i], &QToolButton::clicked, this, [this, i] { browsePasswords(i + 1); });
    }
    bar->addSeparator();
    m_monitorAction = bar->addAction(QStringLiteral("Monitor"));
    m_monitorAction->setCheckable(true);
    m_monitorAction->setChecked(m_monitorOn);
    m_monitorAction->setToolTip(QStringLiteral("Turn the monitor on or off"));
    m_monitorAction->setStatusTip(m_monitorAction->toolTip());
    connect(m_monitorAction, &QAction::triggered, this, [this](bool on) { setMonitorOn(on); });
    m_marker = new QLabel(QStringLiteral(" "), bar);
    m_marker->setAccessibleName(QStringLiteral("Queued"));
    m_marker->setMinimumWidth(12);
    bar->addWidget(m_marker);
    auto* key = new QLabel(bar);
    key->setPixmap(style()->standardIcon(QStyle::SP_DialogApplyButton).pixmap(16, 16));
    bar->addWidget(key);
}

void Main::placeFirstTime() {
    // Most of the screen, centred: room for a password list with all its columns and for the windows
    // beside it.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect room = screen->availableGeometry();
    QRect first(QPoint(), QSize(room.width() * 7 / 8, room.height() * 7 / 8).expandedTo(minimumSizeHint()));
    first.moveCenter(room.center());
    setGeometry(first);
}

void Main::refreshUserButtons() {
    Table<UserRecord> users(m_ctx.store);
    std::vector<UserRecord> first;
    try {
        first = users.readPhysical(0, 3);
    } catch (const StoreError&) {
    }
    for (int i = 0; i < 3; ++i) {
        const bool present = i < static_cast<int>(first.size());
        m_userButtons[i]->setText(present ? first[static_cast<size_t>(i)].name.left(20)
                                          : QStringLiteral("User #%1").arg(i + 1));
        m_userButtons[i]->setEnabled(present);
    }
}

QString Main::statusField(int field) const {
    return field >= 2 && field <= 4 ? m_fields[field - 2]->text() : statusBar()->currentMessage();
}

void Main::tick() {
    ++m_ticks;
    FrameTimers::MonitorState state{m_monitorOn, m_openUsers};
    m_timers.tick(state, [this] { startCountdown(); });
    m_fields[0]->setText(m_timers.countdownText());
    m_fields[1]->setText(m_timers.dateText());
    m_fields[2]->setText(m_timers.timeText());
    m_marker->setText(m_monitorOn && !m_queueEmpty ? QStringLiteral("*") : QStringLiteral(" "));
    if (m_ticks % 24 == 12) {
        refreshUserButtons();
    }
}

void Main::browseUsers() {
    auto* users = new BrowseUsers(m_ctx.store, m_ctx.messages, m_ctx.clock, m_ctx.positions);
    QMdiSubWindow* sub = m_mdi->addSubWindow(users);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    connect(users, &QDialog::finished, sub, &QWidget::close);
    // The user buttons and the open password lists follow renames and deletions.
    connect(users, &BrowseUsers::usersChanged, this, &Main::usersChanged);
    connect(users, &QDialog::finished, this, &Main::refreshUserButtons);
    sub->show();
}

void Main::closeAfter(QPointer<QWidget> dialog) {
    QTimer::singleShot(20, this, [this, dialog] {
        if (dialog && dialog->isVisible()) {
            closeAfter(dialog);  // still on its way out
            return;
        }
        close();
    });
}

void Main::usersChanged() {
    refreshUserButtons();
    for (BrowsePasswords* list : passwordLists()) {
        list->userChangedElsewhere();
    }
}

BrowsePasswords* Main::browsePasswords(int preset) {
    auto user = BrowsePasswords::establishUser(m_ctx.store, m_ctx.messages, m_ctx.positions, preset, this);
    refreshUserButtons();  // the first choice on an empty table makes the default user
    if (!user) {
        return nullptr;
    }
    EntryServices services{m_ctx.store, m_ctx.messages, m_ctx.clock, m_ctx.clipboard, *m_ctx.desktop, *m_ctx.shell,
                           *m_ctx.random, *m_ctx.dialogs, m_ctx.positions, &m_ctx.settings, m_ctx.dataDirectory};
    ListLink link{m_worker.get(), this, [this] { return m_monitorOn; }};
    auto* list = new BrowsePasswords(services, link, *user);
    QMdiSubWindow* sub = m_mdi->addSubWindow(list);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    connect(list, &QDialog::finished, sub, &QWidget::close);
    connect(list, &BrowsePasswords::userSwitched, this, &Main::updateOpenUsers);
    connect(list, &QObject::destroyed, this, [this] { QTimer::singleShot(0, this, &Main::updateOpenUsers); });
    sub->show();
    list->view()->setFocus();
    updateOpenUsers();
    return list;
}

QList<BrowsePasswords*> Main::passwordLists() const {
    QList<BrowsePasswords*> lists;
    for (QMdiSubWindow* w : m_mdi->subWindowList()) {
        if (auto* list = qobject_cast<BrowsePasswords*>(w->widget())) {
            lists << list;
        }
    }
    return lists;
}

void Main::updateOpenUsers() {
    m_openUsers.clear();
    for (BrowsePasswords* list : passwordLists()) {
        const QString name = fitText(list->user().name, width::kUserName);
        if (!m_openUsers.contains(name, Qt::CaseInsensitive)) {
            m_openUsers << name;
        }
    }
}

void Main::startCountdown() {
    if (m_closeDown) {
        return;
    }
    m_closeDown = new CloseDownWindow(m_ctx.clock, m_ctx.positions, this);
    connect(m_closeDown, &CloseDownWindow::expired, this, [this] { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); });
    connect(m_closeDown, &QObject::destroyed, this, [this] { m_closeDown = nullptr; });
    m_closeDown->show();
}

void Main::setMonitorOn(bool on) {
    m_monitorOn = on;
    m_monitorAction->setChecked(on);
    // The switch empties the queue; switching on loads the open lists' monitored entries afresh.
    m_worker->setMonitorOn(on);
    m_marker->setText(QStringLiteral(" "));
    tick();
}

void Main::filterClipboard() {
    const QString text = QString::fromStdString(m_ctx.clipboard.text());
    m_ctx.clipboard.setText(filterClipboardText(text).toStdString(), false);
}

void Main::editCommand(const char* slot) {
    if (QWidget* w = QApplication::focusWidget()) {
        QMetaObject::invokeMethod(w, slot);
    }
}

void Main::arrangeIcons() {
    // Minimised child windows line up along the bottom of the frame's area.
    int x = 0;
    for (QMdiSubWindow* w : m_mdi->subWindowList()) {
        if (w->isMinimized()) {
            w->move(x, m_mdi->viewport()->height() - w->height());
            x += w->width();
        }
    }
}

void Main::contents() {
    // Through the desktop's opener, which says when there is no browser to show the guide.
    std::string error = "there is nothing to open it with";
    if (m_ctx.shell == nullptr || !m_ctx.shell->openDocument(m_ctx.guide.toStdString(), error)) {
        m_ctx.messages.show(Message{QStringLiteral("Help"),
                                    QStringLiteral("The user guide could not be opened:|") + m_ctx.guide +
                                        QStringLiteral("|") + QString::fromStdString(error),
                                    Buttons::Ok, Answer::Ok, false, MessageKind::Error});
    }
}

void Main::about() {
    AboutWindow window(m_ctx.store, m_ctx.messages, m_ctx.positions, this);
    window.exec();
}

void Main::minimizeForSend() {
    if (!isMinimized()) {
        showMinimized();
    }
}

bool Main::event(QEvent* e) {
    if (e->type() == frame_event::SendRequested) {
        m_sendRequested = true;
        m_worker->runPass(true);
        return true;
    }
    if (e->type() == frame_event::EntryQueued) {
        minimizeForSend();
        return true;
    }
    if (e->type() == frame_event::UsersChanged) {
        updateOpenUsers();
        m_worker->runPass(false);
        return true;
    }
    return QMainWindow::event(e);
}

bool Main::eventFilter(QObject* watched, QEvent* e) {
    switch (e->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        m_timers.userActivity();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, e);
}

void Main::closeEvent(QCloseEvent* e) {
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) {
        // A window is waiting on this dialog (an entry form, a message): the dialog goes first, and the
        // frame closes once the window that opened it has carried on, never from under it.
        QPointer<QWidget> waiting(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
        e->ignore();
        closeAfter(waiting);
        return;
    }
    if (!m_closing) {
        m_closing = true;
        // Child windows first, then the frame.
        m_mdi->closeAllSubWindows();
        if (m_closeDown) {
            m_closeDown->close();
        }
        if (m_ctx.positions) {
            savePlacement(this, *m_ctx.positions, QStringLiteral("Main"));
        }
        m_timer->stop();
        m_worker->stop();
        m_timers.closing();
    }
    e->accept();
}

} // namespace zendrel
