#include "entries/PasswordGenerator.h"
#include "platform/sim/SimDesktop.h"
#include "support/TestStore.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace zendrel;

namespace {

// Answers from a list (each value clamped into the range asked for), then the range's low end.
class ListedRandom final : public Random {
public:
    explicit ListedRandom(std::vector<int64_t> values) : m_values(std::move(values)) {}
    int64_t uniform(int64_t low, int64_t high) override {
        ++calls;
        if (m_next < m_values.size()) {
            return std::clamp(m_values[m_next++], low, high);
        }
        return low;
    }
    int calls = 0;

private:
    std::vector<int64_t> m_values;
    size_t m_next = 0;
};

class GeneratorTest : public ::testing::Test {
protected:
    test::TestStore ts;
    SystemRandom random;

    void words(const QStringList& list) {
        std::vector<Row> rows;
        for (const QString& w : list) {
            WordRecord r;
            r.word = w;
            rows.push_back(toRow(r));
        }
        ASSERT_TRUE(ts.store().insertMany(tables::words(), rows));
    }
    QSet<QChar> charactersOf(const GeneratorChoice& c, int runs) {
        PasswordGenerator g(ts.store(), random, ts.messages());
        QSet<QChar> seen;
        for (int i = 0; i < runs; ++i) {
            const QString p = *g.generate(c);
            EXPECT_EQ(p.size(), c.size);
            for (QChar ch : p) {
                seen.insert(ch);
            }
        }
        return seen;
    }
};

TEST_F(GeneratorTest, EachKindDrawsEveryAllowedCharacterAndNoOther) {
    const QSet<QChar> lower = charactersOf({128, "Alphabet Only", {}}, 60);
    EXPECT_EQ(lower.size(), 26);
    for (QChar c : lower) {
        EXPECT_TRUE(c >= QLatin1Char('a') && c <= QLatin1Char('z')) << c.toLatin1();
    }
    EXPECT_EQ(charactersOf({128, "Alphanumeric", {}}, 60).size(), 62);
    const QSet<QChar> all = charactersOf({128, "All Characters", {}}, 80);
    EXPECT_EQ(all.size(), 70);
    for (char forbidden : QByteArray(")+=_-")) {
        EXPECT_FALSE(all.contains(QLatin1Char(forbidden))) << forbidden;
    }
    for (char wanted : QByteArray("!@#$%&*(")) {
        EXPECT_TRUE(all.contains(QLatin1Char(wanted))) << wanted;
    }
    EXPECT_EQ(charactersOf({3, "Alphanumeric", {}}, 5).size() <= 15, true);
}

TEST_F(GeneratorTest, StoredKindsAreReadSoThatAPasswordIsAlwaysMade) {
    EXPECT_EQ(PasswordGenerator::normalType("Concatenated Word"), "Concatenated Words");
    EXPECT_EQ(PasswordGenerator::normalType("Word  "), "Word");
    EXPECT_EQ(PasswordGenerator::normalType("Pictures"), "Alphanumeric");
    EXPECT_EQ(PasswordGenerator::normalType(""), "Alphanumeric");
    PasswordGenerator g(ts.store(), random, ts.messages());
    EXPECT_EQ(g.generate({10, "nonsense", {}})->size(), 10);
}

TEST_F(GeneratorTest, TheWindowStartsFromThePreferencesThenTheSettingsThenChance) {
    ConfigStore config(ts.store());
    ListedRandom r({9});
    PasswordGenerator g(ts.store(), r, ts.messages());
    UserRecord u;
    u.name = "Ann";
    GeneratorChoice c = g.initialChoice(u, config);
    EXPECT_EQ(c.size, 9);
    EXPECT_EQ(c.type, "Alphanumeric");
    EXPECT_EQ(c.joint, "");
    config.write(ConfigStore::perUserName("SaveSize", "Ann"), int64_t{16});
    config.write(ConfigStore::perUserName("SaveType", "Ann"), QStringLiteral("Concatenated Word"));
    config.write(ConfigStore::perUserName("SaveConc", "Ann"), QStringLiteral("Hyphen"));
    c = g.initialChoice(u, config);
    EXPECT_EQ(c.size, 16);
    EXPECT_EQ(c.type, "Concatenated Words");
    EXPECT_EQ(c.joint, "Hyphen");
    u.passwordSize = 500;  // out of range: brought to 128
    u.passwordType = "Word";
    EXPECT_EQ(g.initialChoice(u, config).size, 128);
    EXPECT_EQ(g.initialChoice(u, config).type, "Word");
    u.passwordSize = -4;
    EXPECT_EQ(g.initialChoice(u, config).size, 3);
}

TEST_F(GeneratorTest, AnEmptyWordTableNeitherHangsNorMakesAPassword) {
    PasswordGenerator g(ts.store(), random, ts.messages());
    EXPECT_FALSE(g.generate({8, "Word", {}}));
    EXPECT_FALSE(g.generate({8, "Concatenated Words", "Hyphen"}));
    ASSERT_EQ(ts.messages().shown.size(), 2);
    EXPECT_EQ(ts.messages().shown[0].title, "");
    EXPECT_EQ(ts.messages().shown[0].text, "Don't delete things!");
}

TEST_F(GeneratorTest, ASingleWordOfTheSizeOrTheLastOneDrawnWithAWarning) {
    words({"cat", "horse", "giraffe"});
    ListedRandom pick({3});
    EXPECT_EQ(*PasswordGenerator(ts.store(), pick, ts.messages()).generate({7, "Word", {}}), "giraffe");
    ListedRandom never({1});
    EXPECT_EQ(*PasswordGenerator(ts.store(), never, ts.messages()).generate({9, "Word", {}}), "cat");
    EXPECT_EQ(never.calls, PasswordGenerator::kTries);
    ASSERT_EQ(ts.messages().shown.size(), 1);
    EXPECT_EQ(ts.messages().shown[0].title, "Warning");
    EXPECT_EQ(ts.messages().shown[0].text,
              "There are no words that size in the database - a random word has been picked.");
}

TEST_F(GeneratorTest, TwoWordsJoinedAndABoundedSearchWhenNoneQualifies) {
    words({"cat", "horse", "giraffe", "elephants"});
    // The first word counts from the end of the table, the second from its start.
    ListedRandom r({3, 7, 2});
    EXPECT_EQ(*PasswordGenerator(ts.store(), r, ts.messages()).generate({0, "Concatenated Words", "Number"}),
              "horse7horse");
    ListedRandom plus({2, 3});
    EXPECT_EQ(*PasswordGenerator(ts.store(), plus, ts.messages()).generate({0, "Concatenated Words", "Plus Sign"}),
              "giraffe+giraffe");
    for (int i = 0; i < 200; ++i) {
        const QString p = *PasswordGenerator(ts.store(), random, ts.messages()).generate({0, "Concatenated Words", ""});
        EXPECT_FALSE(p.contains('0')) << "the number joint is 1 to 9";
        EXPECT_GE(p.size(), 9);
        EXPECT_LE(p.size(), 15);
    }

    test::TestStore only;
    WordRecord w;
    w.word = "ox";
    ASSERT_TRUE(Table<WordRecord>(only.store()).insert(w));
    EXPECT_FALSE(PasswordGenerator(only.store(), random, only.messages()).generate({0, "Concatenated Words", "Hyphen"}));
    EXPECT_EQ(only.messages().shown.last().title, "Warning");
}

TEST_F(GeneratorTest, RememberingTouchesOnlyThePreferencesOfTheUserAsStoredNow) {
    Table<UserRecord> users(ts.store());
    UserRecord u = users.prime();
    u.name = "Ann";
    u.password = u.confirmPassword = "old";
    ASSERT_TRUE(users.insert(u));
    UserRecord changed = u;
    changed.password = changed.confirmPassword = "new";  // changed in another window meanwhile
    ASSERT_TRUE(users.change(changed));

    ConfigStore config(ts.store());
    PasswordGenerator(ts.store(), random, ts.messages()).remember("Ann", config, {14, "Word", "Hyphen"});
    const UserRecord stored = *users.fetch("U_:KeyName", {QStringLiteral("Ann")});
    EXPECT_EQ(stored.password, "new");
    EXPECT_EQ(stored.passwordSize, 14);
    EXPECT_EQ(stored.passwordType, "Word");
    EXPECT_EQ(stored.concatenationType, "Hyphen");
    EXPECT_EQ(config.read("SaveTypeAnn"), "Word");
}

TEST_F(GeneratorTest, TheShippedWordsAreWrittenOnceUnderTheWordPassword) {
    ensureWords(ts.store());
    Table<WordRecord> words(ts.store());
    const int64_t n = words.count();
    EXPECT_GE(n, 20000);
    ensureWords(ts.store());
    EXPECT_EQ(words.count(), n);
    for (const WordRecord& w : words.readPhysical(0, 500)) {
        EXPECT_GE(w.word.size(), 3);
        EXPECT_LE(w.word.size(), 20);
        EXPECT_EQ(w.word, w.word.toLower());
    }
}

TEST(CopyPasswordTest, TheClipboardGetsThePasswordWithoutTrailingBlanksAsASecret) {
    sim::SimClipboard clipboard;
    copyPassword(clipboard, "abc   ");
    EXPECT_EQ(clipboard.text(), "abc");
    EXPECT_TRUE(clipboard.secret());
}

TEST(SystemRandomTest, StaysInItsRangeAndReachesBothEnds) {
    SystemRandom r;
    QSet<int64_t> seen;
    for (int i = 0; i < 2000; ++i) {
        const int64_t v = r.uniform(1, 9);
        ASSERT_GE(v, 1);
        ASSERT_LE(v, 9);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 9);
    EXPECT_EQ(r.uniform(5, 5), 5);
}

} // namespace
