#pragma once

#include "data/DataStore.h"
#include "base/FileDialogs.h"
#include "platform/Desktop.h"
#include "platform/Random.h"
#include "platform/Shell.h"
#include "session/ConfigStore.h"

namespace zendrel {

class WindowPositions;

// What the password windows work with: the programs pass the real services, tests simulated ones.
struct EntryServices {
    DataStore& store;
    MessageService& messages;
    Clock& clock;
    Clipboard& clipboard;
    Desktop& desktop;  // this thread's view of the desktop, for the titles of its windows
    Shell& shell;
    Random& random;
    FileDialogs& dialogs;
    WindowPositions* positions = nullptr;
    const Settings* settings = nullptr;  // the options as they stand now
    QString dataDirectory;

    bool hideClipboard() const { return settings && settings->hideClipboard != 0; }
    bool skipCopyPaste() const { return settings && settings->skip != 0; }
    QString datePicture() const { return settings ? settings->dateFormat : QString(); }
};

} // namespace zendrel
