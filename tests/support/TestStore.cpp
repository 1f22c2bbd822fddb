#include "support/TestStore.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace zendrel::test {

TestStore::TestStore() : m_temp(std::make_unique<QTemporaryDir>()), m_directory(m_temp->path()) {
    make();
}

TestStore::TestStore(const QString& directory) : m_directory(directory) {
    make();
}

void TestStore::make() {
    m_store = std::make_unique<DataStore>(
        DataStore::Options{m_directory, ownerKeys(), &m_messages, [this](const QString& r) { ended << r; }, &m_clock});
}

void TestStore::expectOnlyMessages(const QStringList& titles) {
    m_messages.expectedTitles = titles;
    m_messages.unexpected = [](const Message& m) {
        ADD_FAILURE() << "unexpected message: " << m.title.toStdString() << ": " << m.text.toStdString();
    };
}

QString TestStore::file(const QString& name) const {
    return QDir(m_directory).filePath(name);
}

void TestStore::reopen() {
    m_store.reset();
    make();
}

PasswordRecord entry(const QString& user, const QString& service, const QString& name, const QString& url) {
    PasswordRecord e;
    e.user = user;
    e.service = service;
    e.name = name;
    e.url = url;
    e.level = 4000;
    return e;
}

QByteArray fileBytes(const QString& path) {
    QByteArray all;
    for (const QString& p : {path, path + QStringLiteral("-wal")}) {
        QFile f(p);
        if (f.open(QIODevice::ReadOnly)) {
            all += f.readAll();
        }
    }
    return all;
}

} // namespace zendrel::test
