#include "session/OwnerKeys.h"

#include "base/Secrets.h"

namespace zendrel {

namespace {

// 64 characters; with the constant below added, each stays printable ASCII.
constexpr char kSeed[] = "Q7mVt2Lr9XcKp4Wn8BzHs1Gd6YfJq3Nv5RkTx0MbEw7Ua2Sy9PhCl4Dg8Zj1Fo6I";
constexpr int kConstant = 3;
static_assert(sizeof(kSeed) == 65, "the seed holds 64 characters");

// 29 lower-case letters.
constexpr char kWordPassword[] = "quillbarnetcoveslumbertrifold";
static_assert(sizeof(kWordPassword) == 30, "the word password holds 29 letters");

// 28 letters and digits.
constexpr char kPreviousVersionPassword[] = "Zd21Pv7Kq3Lm9Rx4Tn6Wb8Yc2Hs5";
static_assert(sizeof(kPreviousVersionPassword) == 29, "the previous-version password holds 28 characters");

} // namespace

QString buildRuntimeKey() {
    QString key(64, QChar(u' '));
    lockMemory(key);
    for (int i = 0; i < 64; ++i) {
        key[i] = QChar(static_cast<char16_t>(kSeed[i] + kConstant));
    }
    return key;
}

OwnerKeys ownerKeys() {
    return {buildRuntimeKey(), QString::fromLatin1(kWordPassword), QString::fromLatin1(kPreviousVersionPassword)};
}

} // namespace zendrel
