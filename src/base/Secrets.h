#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <string>

namespace zendrel {

// Passwords, keys and attachment bytes are overwritten before their memory is given back, so that a freed
// block, a page swapped out or a later allocation never shows them. Qt shares string data between copies:
// a buffer that another holder still shares is only let go here, and its last holder wipes it.

// Overwrites `n` bytes in a way the compiler cannot leave out.
void wipeBytes(void* p, std::size_t n);

// Overwrites the whole allocation (unused capacity included) when nothing else shares it, unlocks its pages,
// and leaves the value empty.
void wipe(QString& s);
void wipe(QByteArray& b);
void wipe(std::string& s);

// Appends to a secret buffer. When it has to grow, the new one is made here and the old one wiped, instead
// of the old block going back to the allocator with its contents.
void appendSecret(QByteArray& to, const char* data, qsizetype n);
void appendSecret(QString& to, QStringView text);
// The text in UTF-8, without leaving the intermediate buffer of the conversion behind.
std::string secretUtf8(const QString& text);
// A copy of its own that shares nothing (`QString` copies share the data of the original).
QString detachedCopy(QStringView text);

// Keeps the pages of a buffer in memory (never swapped out) while the limit for locked memory allows;
// beyond it nothing more is locked and nothing is said. Pages are counted, so that two secrets on one page
// unlock it only when both are gone; `wipe` unlocks what it wipes.
void lockMemory(const void* p, std::size_t n);
void unlockMemory(const void* p, std::size_t n);
void lockMemory(const QString& s);
void lockMemory(const QByteArray& b);
// Bytes locked by lockMemory now.
std::size_t lockedBytes();

// A local copy of a secret that wipes itself on leaving its scope.
template <typename T>
class Wiped {
public:
    Wiped() = default;
    explicit Wiped(T value) : m_value(std::move(value)) {}
    Wiped(const Wiped&) = delete;
    Wiped& operator=(const Wiped&) = delete;
    ~Wiped() { wipe(m_value); }

    T& operator*() { return m_value; }
    const T& operator*() const { return m_value; }
    T* operator->() { return &m_value; }
    const T* operator->() const { return &m_value; }

private:
    T m_value;
};

} // namespace zendrel
