#pragma once

#include "data/DataStore.h"
#include "support/ScriptedServices.h"
#include "platform/sim/VirtualClock.h"
#include "session/OwnerKeys.h"

#include <QTemporaryDir>

#include <memory>

namespace zendrel::test {

// A data store on a fresh directory with a recording message service and a virtual clock; a fatal
// message throws ProgramEnded instead of ending the test program.
class TestStore {
public:
    TestStore();
    explicit TestStore(const QString& directory);

    DataStore& store() { return *m_store; }
    ScriptedMessages& messages() { return m_messages; }
    sim::VirtualClock& clock() { return m_clock; }
    QString dir() const { return m_directory; }
    QString file(const QString& name) const;
    // Closes and opens the store again on the same directory, as a new program would.
    void reopen();
    void closeStore() { m_store.reset(); }
    // Fails the test at once on any message whose title is not one of these.
    void expectOnlyMessages(const QStringList& titles);

    QStringList ended;  // reasons given to the terminate handler

private:
    void make();

    std::unique_ptr<QTemporaryDir> m_temp;
    QString m_directory;
    ScriptedMessages m_messages;
    sim::VirtualClock m_clock;
    std::unique_ptr<DataStore> m_store;
};

// An entry of a user with the fields every test needs.
PasswordRecord entry(const QString& user, const QString& service, const QString& name, const QString& url = {});

// Raw bytes of a file (and of its write-ahead log, when present).
QByteArray fileBytes(const QString& path);

} // namespace zendrel::test
