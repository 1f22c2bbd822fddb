#include "base/Secrets.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <string.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace zendrel {

namespace {

struct LockedPages {
    std::mutex mutex;
    std::map<std::uintptr_t, int> holders;             // page address -> locked buffers on it
    std::map<const void*, std::size_t> buffers;         // locked buffer -> its length
    bool refused = false;                     // the system refused once: no more tries
};

LockedPages& lockedPages() {
    static LockedPages pages;
    return pages;
}

std::uintptr_t pageSize() {
    static const std::uintptr_t size = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

// The pages a buffer touches, as [first, end).
std::pair<std::uintptr_t, std::uintptr_t> pagesOf(const void* p, std::size_t n) {
    const std::uintptr_t page = pageSize();
    const auto begin = reinterpret_cast<std::uintptr_t>(p);
    return {begin & ~(page - 1), (begin + n + page - 1) & ~(page - 1)};
}

template <typename Array>
void wipeArray(Array& a) {
    auto& dp = a.data_ptr();
    if (dp.isMutable() && !dp.needsDetach()) {
        using Unit = std::remove_pointer_t<decltype(dp.data())>;
        Unit* start = dp.data() - dp.freeSpaceAtBegin();
        const std::size_t bytes = static_cast<std::size_t>(dp.constAllocatedCapacity()) * sizeof(Unit);
        wipeBytes(start, bytes);
        unlockMemory(start, bytes);
    }
    a = Array();
}

} // namespace

void wipeBytes(void* p, std::size_t n) {
    if (p != nullptr && n > 0) {
        ::explicit_bzero(p, n);
    }
}

void wipe(QString& s) {
    wipeArray(s);
}

void wipe(QByteArray& b) {
    wipeArray(b);
}

void wipe(std::string& s) {
    wipeBytes(s.data(), s.capacity());
    unlockMemory(s.data(), s.capacity());
    std::string().swap(s);
}

void appendSecret(QByteArray& to, const char* data, qsizetype n) {
    if (n <= 0) {
        return;
    }
    if (to.data_ptr().needsDetach() || to.size() + n > to.capacity()) {
        QByteArray grown;
        grown.reserve(std::max<qsizetype>(2 * to.capacity(), to.size() + n));
        grown.append(to);
        wipe(to);
        to.swap(grown);
    }
    to.append(data, n);
}

void appendSecret(QString& to, QStringView text) {
    if (text.isEmpty()) {
        return;
    }
    if (to.data_ptr().needsDetach() || to.size() + text.size() > to.capacity()) {
        QString grown;
        grown.reserve(std::max<qsizetype>(2 * to.capacity(), to.size() + text.size()));
        grown.append(to);
        wipe(to);
        to.swap(grown);
    }
    to.append(text);
}

std::string secretUtf8(const QString& text) {
    Wiped<QByteArray> utf8(text.toUtf8());
    return std::string(utf8->constData(), static_cast<std::size_t>(utf8->size()));
}

QString detachedCopy(QStringView text) {
    QString copy;
    copy.reserve(text.size());
    copy.append(text);
    return copy;
}

void lockMemory(const void* p, std::size_t n) {
    if (p == nullptr || n == 0) {
        return;
    }
    LockedPages& pages = lockedPages();
    const std::lock_guard guard(pages.mutex);
    if (pages.refused || pages.buffers.count(p) != 0) {
        return;
    }
    const auto [first, end] = pagesOf(p, n);
    std::size_t fresh = 0;
    for (std::uintptr_t page = first; page < end; page += pageSize()) {
        fresh += pages.holders.count(page) == 0 ? 1 : 0;
    }
    struct rlimit limit {};
    if (fresh > 0 && ::getrlimit(RLIMIT_MEMLOCK, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        (pages.holders.size() + fresh) * pageSize() > limit.rlim_cur) {
        return;  // beyond the limit: the secret is still wiped, only not locked
    }
    if (fresh > 0 && ::mlock(reinterpret_cast<const void*>(first), end - first) != 0) {
        pages.refused = true;
        return;
    }
    for (std::uintptr_t page = first; page < end; page += pageSize()) {
        ++pages.holders[page];
    }
    pages.buffers[p] = n;
}

void unlockMemory(const void* p, std::size_t n) {
    if (p == nullptr || n == 0) {
        return;
    }
    LockedPages& pages = lockedPages();
    const std::lock_guard guard(pages.mutex);
    // Only a buffer locked as a whole is unlocked: another one that merely shares its pages keeps them.
    const auto buffer = pages.buffers.find(p);
    if (buffer == pages.buffers.end()) {
        return;
    }
    const auto [first, end] = pagesOf(p, std::max(n, buffer->second));
    pages.buffers.erase(buffer);
    for (std::uintptr_t page = first; page < end; page += pageSize()) {
        const auto it = pages.holders.find(page);
        if (it != pages.holders.end() && --it->second == 0) {
            pages.holders.erase(it);
            ::munlock(reinterpret_cast<const void*>(page), pageSize());
        }
    }
}

void lockMemory(const QString& s) {
    const auto& dp = const_cast<QString&>(s).data_ptr();
    if (dp.isMutable()) {
        lockMemory(s.constData() - dp.freeSpaceAtBegin(), static_cast<std::size_t>(dp.constAllocatedCapacity()) * 2);
    }
}

void lockMemory(const QByteArray& b) {
    const auto& dp = const_cast<QByteArray&>(b).data_ptr();
    if (dp.isMutable()) {
        lockMemory(b.constData() - dp.freeSpaceAtBegin(), static_cast<std::size_t>(dp.constAllocatedCapacity()));
    }
}

std::size_t lockedBytes() {
    LockedPages& pages = lockedPages();
    const std::lock_guard guard(pages.mutex);
    return pages.holders.size() * pageSize();
}

} // namespace zendrel
