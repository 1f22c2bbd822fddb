#pragma once

#include "monitor/MonitorEngine.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>

namespace zendrel {

// The keyboard and desktop the worker sends with, made on its own thread (an X connection belongs to
// the thread that uses it). `owner` keeps whatever they need alive.
struct SendBackends {
    std::shared_ptr<void> owner;
    Keyboard* keyboard = nullptr;
    Desktop* desktop = nullptr;
};
using BackendFactory = std::function<SendBackends()>;

// Runs a monitor engine on a thread of its own. Calls come in queued, in order; the engine's messages
// and the state of its queue go out as signals. Waits and typing never hold up the caller's thread, and
// a pass is never entered twice at once.
class MonitorWorker : public QObject {
    Q_OBJECT

public:
    MonitorWorker(EngineProgram program, DataStore& store, Clock& clock, SendSettings settings,
                  BackendFactory backends, int tickMs = 500, QObject* parent = nullptr);
    ~MonitorWorker() override;

    void queueEntry(const PasswordRecord& entry);
    void userOpened(const QString& user);
    void userChanged(const QString& user);
    void userClosed(const QString& user);
    void selectUser(const QString& user);
    void setMonitorOn(bool on);
    void runPass(bool requested);
    void setSettings(SendSettings settings);
    // Finishes the work in hand and ends the thread.
    void stop();

Q_SIGNALS:
    void message(const QString& title, const QString& text);
    void minimizeRequested();
    void queueEmptyChanged(bool empty);
    void sent(const QString& service, const QString& windowTitle);

private:
    void post(std::function<void(MonitorEngine&)> call);

    QThread m_thread;
    QObject* m_context = nullptr;  // lives on m_thread
    std::atomic<bool> m_cancel{false};
    SendBackends m_backends;
    std::unique_ptr<MonitorEngine> m_engine;
    bool m_stopped = false;
};

} // namespace zendrel
