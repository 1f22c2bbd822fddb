#pragma once

#include "data/Records.h"
#include "base/Secrets.h"

#include <QString>

#include <vector>

namespace zendrel {

// A send text after field expansion. Characters that came from an entry's fields are marked literal:
// the interpreters type them as they are, so brackets inside a password or a note never act as tokens.
// It may hold a password: every copy is overwritten when it goes or is assigned over (copies share their text;
// the last one overwrites it).
struct ExpandedText {
    QString text;
    std::vector<bool> literal;  // one flag per UTF-16 unit of text

    ExpandedText() = default;
    ExpandedText(QString t, std::vector<bool> flags) : text(std::move(t)), literal(std::move(flags)) {}
    ExpandedText(const ExpandedText&) = default;
    ExpandedText(ExpandedText&&) noexcept = default;
    ExpandedText& operator=(const ExpandedText& other);
    ExpandedText& operator=(ExpandedText&& other) noexcept;
    ~ExpandedText() { wipe(); }

    bool isLiteral(qsizetype i) const { return i >= 0 && static_cast<size_t>(i) < literal.size() && literal[static_cast<size_t>(i)]; }
    // The user's own text, without field values.
    static ExpandedText plain(const QString& text) { return {text, std::vector<bool>(static_cast<size_t>(text.size()), false)}; }
    ExpandedText mid(qsizetype from, qsizetype n = -1) const;
    ExpandedText trimmedRight() const;
    bool isBlank() const;
    // Overwrites the text in memory; it may hold a password.
    void wipe();
};

// Replaces the field tokens "[PASSWORD]", "[NAME]", "[URL]", "[SERVICE]", "[NOTES]" and "[MORENOTES]"
// (any letter case) of a send text by the entry's values, without their trailing blanks. The result is
// kept whole, however long the notes make it, and has its trailing blanks removed.
ExpandedText expandSendText(const QString& sendText, const PasswordRecord& entry);

} // namespace zendrel
