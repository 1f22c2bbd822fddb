#include "send/SendText.h"

#include "data/DataStore.h"

namespace zendrel {

ExpandedText ExpandedText::mid(qsizetype from, qsizetype n) const {
    ExpandedText out;
    out.text = text.mid(from, n);
    const auto begin = literal.begin() + std::min<qsizetype>(from, static_cast<qsizetype>(literal.size()));
    out.literal.assign(begin, begin + out.text.size());
    return out;
}

ExpandedText ExpandedText::trimmedRight() const {
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1) == QLatin1Char(' ')) {
        --n;
    }
    return mid(0, n);
}

bool ExpandedText::isBlank() const {
    for (QChar c : text) {
        if (c != QLatin1Char(' ')) {
            return false;
        }
    }
    return true;
}

ExpandedText& ExpandedText::operator=(const ExpandedText& other) {
    if (this != &other) {
        const QString keep = other.text;  // the other may share this text
        wipe();
        text = keep;
        literal = other.literal;
    }
    return *this;
}

ExpandedText& ExpandedText::operator=(ExpandedText&& other) noexcept {
    if (this != &other) {
        QString taken = std::move(other.text);
        wipe();
        text = std::move(taken);
        literal = std::move(other.literal);
    }
    return *this;
}

void ExpandedText::wipe() {
    zendrel::wipe(text);
    literal.clear();
}

ExpandedText expandSendText(const QString& sendText, const PasswordRecord& entry) {
    const std::pair<const char*, const QString*> fields[] = {
        {"[PASSWORD]", &entry.password}, {"[NAME]", &entry.name},   {"[URL]", &entry.url},
        {"[SERVICE]", &entry.service},   {"[NOTES]", &entry.notes}, {"[MORENOTES]", &entry.moreNotes}};
    // Room for every value at every bracket, so that inserting never moves the text and leaves a copy of it
    // behind in freed memory.
    qsizetype longest = 0;
    for (const auto& field : fields) {
        longest = std::max(longest, field.second->size());
    }
    ExpandedText out;
    out.text.reserve(sendText.size() + sendText.count(QLatin1Char('[')) * longest);
    lockMemory(out.text);
    out.text.append(sendText);
    out.literal.assign(static_cast<size_t>(sendText.size()), false);
    for (const auto& [token, value] : fields) {
        const QString t = QString::fromLatin1(token);
        Wiped<QString> fitted(fitText(*value, 0));
        const QString& v = *fitted;
        qsizetype from = 0;
        for (;;) {
            // Only the user's own text is searched: a value inserted earlier is never expanded again.
            qsizetype at = out.text.indexOf(t, from, Qt::CaseInsensitive);
            while (at >= 0) {
                bool own = true;
                for (qsizetype i = at; i < at + t.size(); ++i) {
                    own = own && !out.isLiteral(i);
                }
                if (own) {
                    break;
                }
                at = out.text.indexOf(t, at + 1, Qt::CaseInsensitive);
            }
            if (at < 0) {
                break;
            }
            out.text.replace(at, t.size(), v);
            out.literal.erase(out.literal.begin() + at, out.literal.begin() + at + t.size());
            out.literal.insert(out.literal.begin() + at, static_cast<size_t>(v.size()), true);
            from = at + v.size();
        }
    }
    return out.trimmedRight();
}

} // namespace zendrel
