#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace zendrel::test {

inline constexpr unsigned char kSecretMask = 0xA5;

template <std::size_t N>
struct MaskedBytes {
    std::array<unsigned char, N> bytes;
};

// A secret's bytes, masked at compile time, so that the clear text of the test's own literal never reaches
// the program's image, where a memory scan would find it.
template <std::size_t N>
consteval MaskedBytes<N - 1> masked(const char8_t (&text)[N]) {
    MaskedBytes<N - 1> out{};
    for (std::size_t i = 0; i + 1 < N; ++i) {
        out.bytes[i] = static_cast<unsigned char>(text[i]) ^ kSecretMask;
    }
    return out;
}
template <std::size_t N>
consteval MaskedBytes<2 * (N - 1)> masked(const char16_t (&text)[N]) {
    MaskedBytes<2 * (N - 1)> out{};
    for (std::size_t i = 0; i + 1 < N; ++i) {
        out.bytes[2 * i] = static_cast<unsigned char>(text[i] & 0xff) ^ kSecretMask;
        out.bytes[2 * i + 1] = static_cast<unsigned char>(text[i] >> 8) ^ kSecretMask;
    }
    return out;
}

// A distinctive password that is never held whole by the test except where it asks for it, and the search
// for it through the process's own memory, in UTF-8 and in UTF-16 (little-endian), with the bytes unmasked
// only while they are compared.
class MaskedSecret {
public:
    template <std::size_t A, std::size_t B>
    MaskedSecret(const MaskedBytes<A>& utf8, const MaskedBytes<B>& utf16)
        : m_utf8(utf8.bytes.begin(), utf8.bytes.end()), m_utf16(utf16.bytes.begin(), utf16.bytes.end()) {}

    // The clear text, for the test to hand to the program; the caller wipes it.
    QString reveal() const;
    std::string revealUtf8() const;

    struct Found {
        std::size_t utf8 = 0;
        std::size_t utf16 = 0;
        std::size_t regions = 0;  // readable regions searched
    };
    // Copies of the secret in every readable mapping of this process (/proc/self/maps, /proc/self/mem).
    Found scan() const;

private:
    std::vector<unsigned char> m_utf8;
    std::vector<unsigned char> m_utf16;
};

} // namespace zendrel::test
