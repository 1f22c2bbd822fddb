#include "entries/PasswordGenerator.h"

#include "base/Secrets.h"

#include <QFile>

// The word list is built into the library; a static library must register it itself.
static void initWordResource() {
    Q_INIT_RESOURCE(zendrel_data);
}

namespace zendrel {

namespace {

const QString kLower = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
const QString kAlphanumeric = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890");
const QString kFull =
    QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890!@#$%&*()+=_-ABCDEFGHIJKLMNOP");

} // namespace

const QStringList& PasswordGenerator::types() {
    static const QStringList t = {"Word", "Concatenated Words", "Alphabet Only", "Alphanumeric", "All Characters"};
    return t;
}

const QStringList& PasswordGenerator::joints() {
    static const QStringList j = {"Plus Sign", "Hyphen", "Number"};
    return j;
}

QString PasswordGenerator::normalType(const QString& stored) {
    const QString t = fitText(stored, width::kPasswordType);
    if (t == QLatin1String("Concatenated Word")) {
        return QStringLiteral("Concatenated Words");
    }
    return types().contains(t) ? t : QStringLiteral("Alphanumeric");
}

PasswordGenerator::PasswordGenerator(DataStore& store, Random& random, MessageService& messages)
    : m_store(store), m_random(random), m_messages(messages) {}

GeneratorChoice PasswordGenerator::initialChoice(const UserRecord& user, ConfigStore& config) {
    GeneratorChoice c;
    c.size = user.passwordSize;
    if (c.size == 0) {
        c.size = config.readNumber(ConfigStore::perUserName(QStringLiteral("SaveSize"), user.name));
    }
    if (c.size == 0) {
        c.size = m_random.uniform(6, 12);
    }
    c.size = std::clamp<int64_t>(c.size, 3, 128);
    c.type = fitText(user.passwordType, width::kPasswordType);
    if (c.type.isEmpty()) {
        c.type = fitText(config.read(ConfigStore::perUserName(QStringLiteral("SaveType"), user.name)), width::kPasswordType);
    }
    c.type = c.type.isEmpty() ? QStringLiteral("Alphanumeric") : normalType(c.type);
    c.joint = fitText(user.concatenationType, width::kPasswordType);
    if (c.joint.isEmpty()) {
        c.joint = fitText(config.read(ConfigStore::perUserName(QStringLiteral("SaveConc"), user.name)), width::kPasswordType);
    }
    return c;
}

QString PasswordGenerator::characters(int64_t size, const QString& type) {
    const QString& set = type == QLatin1String("Alphabet Only") ? kLower
                         : type == QLatin1String("All Characters") ? kFull
                                                                   : kAlphanumeric;
    // "All Characters" draws from the first 70 characters of its set only.
    const int64_t top = type == QLatin1String("All Characters") ? 70 : set.size();
    QString out;
    for (int64_t i = 0; i < std::clamp<int64_t>(size, 0, 128); ++i) {
        out += set.at(static_cast<qsizetype>(m_random.uniform(1, top) - 1));
    }
    return out;
}

QString PasswordGenerator::wordAt(int64_t position) {
    Table<WordRecord> words(m_store);
    const auto rows = words.readPhysical(position - 1, 1);
    return rows.empty() ? QString() : fitText(rows.front().word, width::kPasswordType);
}

std::optional<QString> PasswordGenerator::singleWord(int64_t size) {
    const int64_t n = Table<WordRecord>(m_store).count();
    if (n == 0) {
        m_messages.show(QString(), QStringLiteral("Don't delete things!"));
        return std::nullopt;
    }
    QString word;
    for (int i = 0; i < kTries; ++i) {
        word = wordAt(m_random.uniform(1, n));
        if (word.size() == size) {
            return word;
        }
    }
    m_messages.show(QStringLiteral("Warning"),
                    QStringLiteral("There are no words that size in the database - a random word has been picked."));
    return word;
}

std::optional<QString> PasswordGenerator::twoWords(const QString& joint) {
    const int64_t n = Table<WordRecord>(m_store).count();
    if (n == 0) {
        m_messages.show(QString(), QStringLiteral("Don't delete things!"));
        return std::nullopt;
    }
    // Each word is drawn a bounded number of times, so a table without words of 4 to 7 letters ends too.
    auto draw = [&](bool fromEnd) -> std::optional<QString> {
        for (int i = 0; i < kTries; ++i) {
            const int64_t r = m_random.uniform(1, n);
            const QString w = wordAt(fromEnd ? n - r + 1 : r);
            if (w.size() >= 4 && w.size() <= 7) {
                return w;
            }
        }
        return std::nullopt;
    };
    auto none = [this]() -> std::optional<QString> {
        m_messages.show(QStringLiteral("Warning"),
                        QStringLiteral("There are no words of 4 to 7 letters in the database to join."));
        return std::nullopt;
    };
    const auto first = draw(true);
    if (!first) {
        return none();
    }
    QString sep;
    if (joint == QLatin1String("Plus Sign")) {
        sep = QStringLiteral("+");
    } else if (joint == QLatin1String("Hyphen")) {
        sep = QStringLiteral("-");
    } else {
        sep = QString::number(m_random.uniform(1, 9));
    }
    const auto second = draw(false);
    if (!second) {
        return none();
    }
    return *first + sep + *second;
}

bool PasswordGenerator::drawsWords(const QString& type) {
    const QString t = normalType(type);
    return t == QLatin1String("Word") || t == QLatin1String("Concatenated Words");
}

std::optional<QString> PasswordGenerator::generate(const GeneratorChoice& choice) {
    const QString type = normalType(choice.type);
    std::optional<QString> p;
    if (type == QLatin1String("Word")) {
        p = singleWord(choice.size);
    } else if (type == QLatin1String("Concatenated Words")) {
        p = twoWords(fitText(choice.joint, width::kPasswordType));
    } else {
        p = characters(choice.size, type);
    }
    if (p) {
        *p = p->left(width::kPassword);
    }
    return p;
}

void PasswordGenerator::remember(const QString& userName, ConfigStore& config, const GeneratorChoice& choice) {
    config.write(ConfigStore::perUserName(QStringLiteral("SaveSize"), userName), choice.size);
    config.write(ConfigStore::perUserName(QStringLiteral("SaveType"), userName), choice.type);
    config.write(ConfigStore::perUserName(QStringLiteral("SaveConc"), userName), choice.joint);
    Table<UserRecord> users(m_store);
    auto fresh = users.fetch(QStringLiteral("U_:KeyName"), {userName});
    if (!fresh) {
        return;
    }
    fresh->passwordSize = static_cast<int32_t>(choice.size);
    fresh->passwordType = choice.type;
    fresh->concatenationType = choice.joint;
    users.change(*fresh);
}

void ensureWords(DataStore& store) {
    Table<WordRecord> words(store);
    if (words.count() != 0) {
        return;
    }
    initWordResource();
    QFile list(QStringLiteral(":/zendrel/words.txt"));
    if (!list.open(QIODevice::ReadOnly)) {
        return;
    }
    std::vector<Row> rows;
    for (const QByteArray& line : list.readAll().split('\n')) {
        const QByteArray w = line.trimmed();
        if (!w.isEmpty()) {
            WordRecord r;
            r.word = QString::fromLatin1(w);
            rows.push_back(toRow(r));
        }
    }
    store.insertMany(tables::words(), rows);
}

void copyPassword(Clipboard& clipboard, const QString& password) {
    const Wiped<std::string> text(secretUtf8(*Wiped<QString>(fitText(password, width::kPassword))));
    clipboard.setText(*text, true);
}

} // namespace zendrel
