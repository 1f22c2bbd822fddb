#include "base/Secrets.h"
#include "support/MemoryScan.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace zendrel;
using test::MaskedSecret;

namespace {

const MaskedSecret& secret() {
    static const MaskedSecret s(test::masked(u8"Kx9#wipe-probe-åßç"), test::masked(u"Kx9#wipe-probe-åßç"));
    return s;
}

// Kilobytes of locked memory, as the kernel counts them.
long lockedKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmLck:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

// The scan itself: it finds a copy held in either encoding, and a copy let go without wiping stays in freed
// memory for it to find; that is what wiping is for.
TEST(SecretsTest, TheScanFindsHeldAndCarelesslyFreedCopiesInBothEncodings) {
    EXPECT_EQ(secret().scan().utf16, 0u);
    EXPECT_EQ(secret().scan().utf8, 0u);
    {
        QString held = secret().reveal();
        std::string heldUtf8 = secret().revealUtf8();
        const MaskedSecret::Found found = secret().scan();
        EXPECT_GE(found.utf16, 1u);
        EXPECT_GE(found.utf8, 1u);
        EXPECT_GT(found.regions, 3u);
        wipe(held);
        wipe(heldUtf8);
    }
    EXPECT_EQ(secret().scan().utf16, 0u);
    EXPECT_EQ(secret().scan().utf8, 0u);
    // Another secret, since the copy is left behind for good.
    static const MaskedSecret lost(test::masked(u8"Pv4%left-behind-øÿ"), test::masked(u"Pv4%left-behind-øÿ"));
    {
        // Large enough that the scan's own small allocations do not take its block over before it looks.
        QString careless;
        careless.reserve(20'000);
        careless.fill(QLatin1Char(' '), 19'000);
        Wiped<QString> clear(lost.reveal());
        careless.append(*clear);
    }
    EXPECT_GE(lost.scan().utf16, 1u) << "glibc keeps the bytes of a freed block";
}

// Each kind of buffer is overwritten whole when nothing else holds it, and only let go while another copy
// still shares it: the last holder wipes it.
TEST(SecretsTest, EveryBufferKindIsOverwrittenByItsLastHolder) {
    {
        QString a = secret().reveal();
        QString shared = a;
        wipe(a);
        EXPECT_TRUE(a.isEmpty());
        EXPECT_EQ(shared.size(), 18) << "a shared copy is left as it was";
        EXPECT_GE(secret().scan().utf16, 1u);
        wipe(shared);
    }
    {
        QString b = secret().reveal();
        QByteArray utf8 = b.toUtf8();
        QByteArray withRoom = utf8;
        withRoom.reserve(4096);  // a copy of its own, with capacity beyond its size
        withRoom.truncate(3);    // the rest of the secret still lies in its unused capacity
        std::string s = secret().revealUtf8();
        wipe(b);
        wipe(utf8);
        wipe(withRoom);
        wipe(s);
        EXPECT_TRUE(utf8.isEmpty() && withRoom.isEmpty() && s.empty());
    }
    {
        Wiped<QString> scoped(secret().reveal());
        EXPECT_EQ(scoped->size(), 18);
    }
    const MaskedSecret::Found found = secret().scan();
    EXPECT_EQ(found.utf16, 0u);
    EXPECT_EQ(found.utf8, 0u);
}

// A buffer grown piece by piece leaves no earlier, smaller copy of itself behind.
TEST(SecretsTest, AppendingLeavesNoCopyWhenTheBufferGrows) {
    {
        QString whole = secret().reveal();
        QString grown;
        QByteArray grownUtf8;
        for (const QChar c : whole) {
            appendSecret(grown, QStringView(&c, 1));
            Wiped<QByteArray> piece(QString(c).toUtf8());
            appendSecret(grownUtf8, piece->constData(), piece->size());
        }
        EXPECT_EQ(grown, whole);
        EXPECT_EQ(grownUtf8, *Wiped<QByteArray>(whole.toUtf8()));
        QString copy = detachedCopy(whole);
        EXPECT_FALSE(copy.isSharedWith(whole));
        wipe(copy);
        wipe(grown);
        wipe(grownUtf8);
        wipe(whole);
    }
    const MaskedSecret::Found found = secret().scan();
    EXPECT_EQ(found.utf16, 0u);
    EXPECT_EQ(found.utf8, 0u);
}

// Locked pages are counted per page: a page that holds two secrets stays locked until both are wiped, and
// wiping a buffer that was never locked unlocks nothing.
TEST(SecretsTest, LockedPagesStayLockedWhileASecretOnThemRemains) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer turns mlock into a call that locks nothing";
#endif
    const long before = lockedKiB();
    ASSERT_GE(before, 0);
    QByteArray first(100, 'a');
    QByteArray second(100, 'b');
    QByteArray unlocked(100, 'c');
    lockMemory(first);
    lockMemory(second);
    EXPECT_GT(lockedKiB(), before);
    EXPECT_GT(lockedBytes(), 0u);
    const long both = lockedKiB();
    wipe(unlocked);
    EXPECT_EQ(lockedKiB(), both);
    wipe(first);
    EXPECT_GT(lockedKiB(), before) << "the second secret is still locked";
    wipe(second);
    EXPECT_EQ(lockedKiB(), before);
    EXPECT_EQ(lockedBytes(), 0u);
}

// Locks sixteen buffers of 20,000 bytes under a limit of two pages and tells whether it stayed within it.
int lockBeyondALimitOfTwoPages() {
    const struct rlimit small {8192, 8192};
    ::setrlimit(RLIMIT_MEMLOCK, &small);
    std::vector<QByteArray> secrets;
    for (int i = 0; i < 16; ++i) {
        secrets.emplace_back(20000, 'k');
        lockMemory(secrets.back());
    }
    const bool withinLimit = lockedBytes() <= 8192 && lockedKiB() <= 8;
    for (QByteArray& s : secrets) {
        wipe(s);
    }
    return withinLimit && lockedBytes() == 0 ? 0 : 1;
}

// Beyond the limit for locked memory nothing more is locked, quietly; the secrets are still wiped. In a child
// process, since the limit is the whole process's.
TEST(SecretsTest, LockingStopsQuietlyAtTheLimit) {
    EXPECT_EXIT(std::_Exit(lockBeyondALimitOfTwoPages()), ::testing::ExitedWithCode(0), "");
}

} // namespace
