#include "monitor/MonitorWorker.h"

#include <QTimer>

namespace zendrel {

MonitorWorker::MonitorWorker(EngineProgram program, DataStore& store, Clock& clock, SendSettings settings,
                             BackendFactory backends, int tickMs, QObject* parent)
    : QObject(parent) {
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("zendrel-monitor"));
    m_thread.start();
    settings.cancel = &m_cancel;
    QMetaObject::invokeMethod(
        m_context,
        [=, this, &store, &clock] {
            m_backends = backends();
            MonitorEngine::Callbacks cb;
            cb.message = [this](const QString& t, const QString& x) { Q_EMIT message(t, x); };
            cb.minimize = [this] { Q_EMIT minimizeRequested(); };
            cb.queueEmptyChanged = [this](bool empty) { Q_EMIT queueEmptyChanged(empty); };
            cb.sent = [this](const MonitorRow& r, const QString& w) { Q_EMIT sent(r.service, w); };
            m_engine = std::make_unique<MonitorEngine>(program, store, *m_backends.keyboard, *m_backends.desktop,
                                                       clock, settings, cb);
            auto* timer = new QTimer(m_context);
            QObject::connect(timer, &QTimer::timeout, m_context, [this] {
                try {
                    m_engine->tick();
                } catch (const std::exception& e) {
                    Q_EMIT message(QStringLiteral("Cannot Send"), QString::fromLocal8Bit(e.what()));
                }
            });
            timer->start(tickMs);
        },
        Qt::BlockingQueuedConnection);
}

MonitorWorker::~MonitorWorker() {
    stop();
}

void MonitorWorker::stop() {
    if (m_stopped) {
        return;
    }
    m_stopped = true;
    // A wait or a text being typed ends at once; the rest of the queue is dropped.
    m_cancel = true;
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            m_engine.reset();  // wipes the texts still queued
            m_backends = {};
            delete m_context;
            m_context = nullptr;
        },
        Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void MonitorWorker::post(std::function<void(MonitorEngine&)> call) {
    if (m_stopped) {
        return;
    }
    QMetaObject::invokeMethod(
        m_context,
        [this, call = std::move(call)] {
            try {
                call(*m_engine);
            } catch (const std::exception& e) {
                // A failure of the tables while loading or sending is reported, never carried off the thread.
                Q_EMIT message(QStringLiteral("Cannot Send"), QString::fromLocal8Bit(e.what()));
            }
        },
        Qt::QueuedConnection);
}

void MonitorWorker::queueEntry(const PasswordRecord& entry) {
    post([entry](MonitorEngine& e) { e.queueEntryForSend(entry); });
}

void MonitorWorker::userOpened(const QString& user) {
    post([user](MonitorEngine& e) {
        e.userOpened(user);
        e.processUserList();
    });
}

void MonitorWorker::userChanged(const QString& user) {
    post([user](MonitorEngine& e) {
        e.userChanged(user);
        e.processUserList();
    });
}

void MonitorWorker::userClosed(const QString& user) {
    post([user](MonitorEngine& e) {
        e.userClosed(user);
        e.processUserList();
    });
}

void MonitorWorker::selectUser(const QString& user) {
    post([user](MonitorEngine& e) { e.selectUser(user); });
}

void MonitorWorker::setMonitorOn(bool on) {
    post([on](MonitorEngine& e) { e.setMonitorOn(on); });
}

void MonitorWorker::runPass(bool requested) {
    post([requested](MonitorEngine& e) { e.runSendPass(requested); });
}

void MonitorWorker::setSettings(SendSettings settings) {
    settings.cancel = &m_cancel;
    post([settings](MonitorEngine& e) { e.setSettings(settings); });
}

} // namespace zendrel
