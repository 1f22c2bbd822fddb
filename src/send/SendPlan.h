#pragma once

#include "send/SendText.h"

#include <vector>

namespace zendrel {

// One step of typing a send text. A send text is read once into its steps; typing only carries them out.
struct SendStep {
    enum class Kind { Characters, Key, Wait, Flush };
    Kind kind = Kind::Characters;
    QString characters;     // Characters: one keystroke each, the guard asked before every one
    int code = 0;           // Key: a key code with the modifier bits 256, 512 and 1024
    int64_t hundredths = 0; // Wait
    // The guard is asked before the step (every key; a wait only where a new part of the text begins: a
    // wait after the last key typed never turns a finished send into a stopped one).
    bool guarded = false;

    bool operator==(const SendStep&) const = default;
    // The characters may be part of a password (copies share them; the last one overwrites them).
    ~SendStep() { wipe(characters); }
};

// The group interpreter: literal runs in groups of at most `groupSize` characters with `interval`
// hundredths after each group and each token; bracketed tokens as keys, waits and pauses, with 10
// hundredths after each; a token holding an entry's value typed as text. The last run of text is one
// group, whatever its length, and no interval follows it.
std::vector<SendStep> planGroups(const ExpandedText& text, int groupSize, int64_t interval);

// The direct typer: no groups and no interval; repeat counts such as [Tab 3]; a token must close within 33
// characters or its bracket is typed; 5 hundredths after a key or character outside 32 to 255 and at the end.
std::vector<SendStep> planDirect(const ExpandedText& text);

} // namespace zendrel
