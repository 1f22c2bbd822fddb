#include "support/MemoryScan.h"

#include "base/Secrets.h"

#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/mman.h>
#include <unistd.h>

namespace zendrel::test {

namespace {

constexpr std::size_t kChunk = 1 << 20;
// Larger mappings are reservations (the sanitizers' shadow memory): reading them would fault in terabytes.
constexpr std::size_t kLargestRegion = std::size_t{1} << 30;

std::size_t occurrences(const unsigned char* hay, std::size_t n, const std::vector<unsigned char>& maskedNeedle) {
    const std::size_t len = maskedNeedle.size();
    if (len == 0 || n < len) {
        return 0;
    }
    std::size_t count = 0;
    const unsigned char first = maskedNeedle[0] ^ kSecretMask;
    const unsigned char* end = hay + n;
    for (const unsigned char* p = hay; p + len <= end; ++p) {
        p = static_cast<const unsigned char*>(std::memchr(p, first, static_cast<std::size_t>(end - p) - len + 1));
        if (p == nullptr) {
            break;
        }
        std::size_t k = 1;
        while (k < len && static_cast<unsigned char>(p[k] ^ kSecretMask) == maskedNeedle[k]) {
            ++k;
        }
        count += k == len ? 1 : 0;
    }
    return count;
}

} // namespace

QString MaskedSecret::reveal() const {
    QString clear;
    clear.reserve(static_cast<qsizetype>(m_utf16.size() / 2));
    for (std::size_t i = 0; i + 1 < m_utf16.size(); i += 2) {
        clear.append(QChar(static_cast<char16_t>((m_utf16[i] ^ kSecretMask) | ((m_utf16[i + 1] ^ kSecretMask) << 8))));
    }
    return clear;
}

std::string MaskedSecret::revealUtf8() const {
    std::string clear;
    clear.reserve(m_utf8.size());
    for (const unsigned char c : m_utf8) {
        clear.push_back(static_cast<char>(c ^ kSecretMask));
    }
    return clear;
}

MaskedSecret::Found MaskedSecret::scan() const {
    Found found;
    // The chunks are read into a mapping of their own, which the scan leaves out: it holds what was just read.
    const std::size_t overlap = std::max(m_utf8.size(), m_utf16.size());
    const std::size_t size = kChunk + overlap;
    void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return found;
    }
    auto* buffer = static_cast<unsigned char*>(mapped);
    const auto own = reinterpret_cast<std::uintptr_t>(mapped);
    const int mem = ::open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
    std::ifstream maps("/proc/self/maps");
    std::vector<std::pair<std::uintptr_t, std::uintptr_t>> regions;
    for (std::string line; std::getline(maps, line);) {
        std::istringstream in(line);
        std::string range;
        std::string perms;
        in >> range >> perms;
        const std::size_t dash = range.find('-');
        const std::uintptr_t from = std::stoull(range.substr(0, dash), nullptr, 16);
        const std::uintptr_t to = std::stoull(range.substr(dash + 1), nullptr, 16);
        const bool special = line.find("[vvar]") != std::string::npos || line.find("[vsyscall]") != std::string::npos;
        if (perms.empty() || perms[0] != 'r' || special || from == own || to - from > kLargestRegion) {
            continue;
        }
        regions.emplace_back(from, to);
    }
    for (const auto& [from, to] : regions) {
        ++found.regions;
        for (std::uintptr_t at = from; at < to; at += kChunk) {
            const std::size_t want = std::min<std::size_t>(size, to - at);
            const ssize_t got = ::pread(mem, buffer, want, static_cast<off_t>(at));
            if (got <= 0) {
                continue;
            }
            // Matches that begin in the overlap are counted with the next chunk.
            const std::size_t n = static_cast<std::size_t>(got);
            const std::size_t limit8 = at + kChunk < to ? std::min(n, kChunk + m_utf8.size() - 1) : n;
            const std::size_t limit16 = at + kChunk < to ? std::min(n, kChunk + m_utf16.size() - 1) : n;
            found.utf8 += occurrences(buffer, limit8, m_utf8);
            found.utf16 += occurrences(buffer, limit16, m_utf16);
        }
    }
    wipeBytes(buffer, size);
    ::munmap(mapped, size);
    if (mem >= 0) {
        ::close(mem);
    }
    return found;
}

} // namespace zendrel::test
