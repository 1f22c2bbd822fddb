#pragma once

#include "data/DataStore.h"
#include "framework/WindowPlacement.h"

namespace zendrel {

class TipPanel;
class WindowPositions;

// "About Zendrel", the program's information window of Help "&About": its version, what it is, and the tips
// to read one at a time.
class AboutWindow : public PlacedDialog {
    Q_OBJECT

public:
    AboutWindow(DataStore& store, MessageService& messages, WindowPositions* positions, QWidget* parent = nullptr);
    TipPanel* tips() const { return m_tips; }

private:
    TipPanel* m_tips;
};

} // namespace zendrel
