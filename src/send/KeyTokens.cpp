#include "send/KeyTokens.h"

#include <QHash>

namespace zendrel {

namespace {

const QHash<QString, int>& nameTable() {
    static const QHash<QString, int> table = [] {
        QHash<QString, int> t;
        for (char c = 'A'; c <= 'Z'; ++c) {
            t.insert(QString(QLatin1Char(c)), c);
        }
        for (int d = 0; d <= 9; ++d) {
            t.insert(QString::number(d), '0' + d);
            t.insert(QStringLiteral("PAD%1").arg(d), 96 + d);
        }
        for (int f = 1; f <= 12; ++f) {
            t.insert(QStringLiteral("F%1").arg(f), 111 + f);
        }
        const std::pair<const char*, int> named[] = {
            {"BS", 8},           {"TAB", 9},           {"ENTER", 13},        {"PAUSE", 19},      {"CAPSLOCK", 20},
            {"CAPS", 20},        {"ESC", 27},          {"SPACE", 32},        {"PGUP", 33},       {"PGDN", 34},
            {"END", 35},         {"HOME", 36},         {"LEFT", 37},         {"UP", 38},         {"RIGHT", 39},
            {"DOWN", 40},        {"PRINT", 44},        {"INSERT", 45},       {"DELETE", 46},     {"AST", 106},
            {"PLUS", 107},       {"MINUS", 109},       {"DECIMAL", 110},     {"SLASH", 111},     {"MOUSE", 1},
            {"MOUSELEFT", 1},    {"MOUSERIGHT", 2},    {"MOUSECENTER", 3},   {"MOUSELEFT2", 5},  {"MOUSERIGHT2", 6},
            {"MOUSECENTER2", 7}};
        for (const auto& [name, code] : named) {
            t.insert(QString::fromLatin1(name), code);
        }
        return t;
    }();
    return table;
}

QString trimmedRight(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) {
        --n;
    }
    return s.left(n);
}

// The number at the start of a text, as far as it is digits; 0 without any.
int64_t leadingNumber(const QString& s) {
    int64_t n = 0;
    for (QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            break;
        }
        n = std::min<int64_t>(n * 10 + (c.unicode() - '0'), INT32_MAX);
    }
    return n;
}

KeyResolution resolve(const QString& token, const std::function<void(int64_t)>& wait, int depth) {
    if (token.isEmpty() || depth > 64) {
        return {};
    }
    auto withBit = [&](int bit, const QString& rest) {
        KeyResolution r = resolve(rest, wait, depth + 1);
        r.code |= bit;
        return r;
    };
    switch (token.at(0).unicode()) {
    case '+':
        return withBit(256, token.mid(1));
    case '^':
        return withBit(512, token.mid(1));
    case '%':
        return withBit(1024, token.mid(1));
    case '-':
        return resolve(token.mid(1), wait, depth + 1);
    default:
        break;
    }
    const QString head = token.left(3).toUpper();
    if (head == QLatin1String("CTR")) {
        return withBit(512, token.mid(4));
    }
    if (head == QLatin1String("ALT")) {
        return withBit(1024, token.mid(3));
    }
    if (head == QLatin1String("SHI")) {
        return withBit(256, token.mid(5));
    }
    QString rest = token;
    if (const qsizetype at = rest.indexOf(QLatin1String("KEY")); at >= 0) {
        rest.remove(at, 3);
    }
    const QString name = trimmedRight(rest.toUpper());
    if (name.startsWith(QLatin1String("WAIT"))) {
        const qsizetype eq = name.indexOf(QLatin1Char('='));
        const int64_t duration = eq >= 0 ? leadingNumber(name.mid(eq + 1)) : 50;
        if (wait) {
            wait(duration);
        }
        return {1, true};
    }
    return {keyNameCode(name), false};
}

} // namespace

int keyNameCode(const QString& upperName) {
    return nameTable().value(upperName, 0);
}

KeyResolution resolveKeyToken(const QString& token, const std::function<void(int64_t)>& wait) {
    return resolve(token, wait, 0);
}

QStringList keyNames() {
    QStringList names;
    for (char c = 'A'; c <= 'Z'; ++c) {
        names << QString(QLatin1Char(c));
    }
    for (int d = 0; d <= 9; ++d) {
        names << QString::number(d);
    }
    for (int d = 0; d <= 9; ++d) {
        names << QStringLiteral("PAD%1").arg(d);
    }
    for (int f = 1; f <= 12; ++f) {
        names << QStringLiteral("F%1").arg(f);
    }
    names << QStringList{"BS",   "TAB",  "ENTER", "PAUSE",  "CAPSLOCK", "CAPS",    "ESC",   "SPACE",
                         "PGUP", "PGDN", "END",   "HOME",   "LEFT",     "UP",      "RIGHT", "DOWN",
                         "PRINT", "INSERT", "DELETE", "AST", "PLUS",   "MINUS",   "DECIMAL", "SLASH",
                         "MOUSE", "MOUSELEFT", "MOUSERIGHT", "MOUSECENTER", "MOUSELEFT2", "MOUSERIGHT2",
                         "MOUSECENTER2"};
    return names;
}

} // namespace zendrel
