#pragma once

#include "data/DataStore.h"
#include "platform/Random.h"
#include "platform/Shell.h"
#include "session/ConfigStore.h"

#include <optional>

namespace zendrel {

// The generator's choices: the password's size, its kind and the joint between two words.
struct GeneratorChoice {
    int64_t size = 0;
    QString type;   // "Word", "Concatenated Words", "Alphabet Only", "Alphanumeric", "All Characters"
    QString joint;  // "Plus Sign", "Hyphen", "Number" (or blank)
};

class PasswordGenerator {
public:
    static const QStringList& types();
    static const QStringList& joints();
    // The kind a stored value stands for: the user form's "Concatenated Word" is the two-word kind, and
    // any value not known is "Alphanumeric", so that a generation never yields a blank password.
    static QString normalType(const QString& stored);
    // Whether a kind draws words from the word table (only then need it exist).
    static bool drawsWords(const QString& type);

    PasswordGenerator(DataStore& store, Random& random, MessageService& messages);

    // The choices as the window takes them when it opens for the user (his preferences, then his saved
    // settings, then a random size of 6 to 12 and "Alphanumeric"); the size is brought into 3 to 128.
    GeneratorChoice initialChoice(const UserRecord& user, ConfigStore& config);
    // Makes a password; nothing when none can be made (the message has been shown).
    std::optional<QString> generate(const GeneratorChoice& choice);
    // Remembers the choices: the user's saved settings and the preference fields of his record as stored
    // now (the rest of the record, which may have changed meanwhile, is left as it is).
    void remember(const QString& userName, ConfigStore& config, const GeneratorChoice& choice);

    static constexpr int kTries = 250;

private:
    QString characters(int64_t size, const QString& type);
    std::optional<QString> singleWord(int64_t size);
    std::optional<QString> twoWords(const QString& joint);
    QString wordAt(int64_t position);

    DataStore& m_store;
    Random& m_random;
    MessageService& m_messages;
};

// Writes the shipped word list into the words table the first time that table is missing or empty.
void ensureWords(DataStore& store);

// Puts a generated password on the clipboard, without trailing blanks and marked as a secret.
void copyPassword(Clipboard& clipboard, const QString& password);

} // namespace zendrel
