#pragma once

#include "data/Records.h"
#include "framework/WindowPlacement.h"
#include "platform/Desktop.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace zendrel {

// "Advanced Settings" of an entry: the text that confirms the window found, and direct sending. The
// monitor program's copy has only the text. Given a desktop, it lists the texts that the window the entry's
// title finds shows now; a double click on one takes it as the text to look for.
class UpdatePasswordAdvSet : public PlacedDialog {
    Q_OBJECT

public:
    UpdatePasswordAdvSet(PasswordRecord& entry, WindowPositions* positions, bool monitorVariant = false,
                         Desktop* desktop = nullptr, QWidget* parent = nullptr);
    // "Cl&ose" takes the values into the entry.
    void takeValues();

private:
    void showWindowTexts(Desktop& desktop);

    PasswordRecord& m_entry;
    QLineEdit* m_contents;
    QCheckBox* m_direct = nullptr;
    QLabel* m_textsCaption = nullptr;
    QListWidget* m_texts = nullptr;
};

} // namespace zendrel
