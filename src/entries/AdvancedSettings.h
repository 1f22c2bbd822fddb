#pragma once

#include "data/Records.h"
#include "framework/WindowPlacement.h"

class QCheckBox;
class QLineEdit;

namespace zendrel {

// "Advanced Settings" of an entry: the text that confirms the window found, and direct sending. The
// monitor program's copy has only the text.
class UpdatePasswordAdvSet : public PlacedDialog {
    Q_OBJECT

public:
    UpdatePasswordAdvSet(PasswordRecord& entry, WindowPositions* positions, bool monitorVariant = false,
                         QWidget* parent = nullptr);
    // "Cl&ose" takes the values into the entry.
    void takeValues();

private:
    PasswordRecord& m_entry;
    QLineEdit* m_contents;
    QCheckBox* m_direct = nullptr;
};

} // namespace zendrel
