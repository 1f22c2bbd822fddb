#pragma once

#include "data/Records.h"
#include "framework/WindowPlacement.h"

namespace zendrel {

// "Display All Information": every stored detail of one entry, read only, the password in clear.
class DisplayAll : public PlacedDialog {
    Q_OBJECT

public:
    DisplayAll(const PasswordRecord& entry, const QString& datePicture, WindowPositions* positions,
               QWidget* parent = nullptr);
};

// The key names for the text to send: KEYCODES.TXT of the data directory, else the copy built into the
// program, in a text viewer.
class SelectKeys : public PlacedDialog {
    Q_OBJECT

public:
    SelectKeys(const QString& dataDirectory, WindowPositions* positions, QWidget* parent = nullptr);
    QString text() const { return m_text; }

private:
    QString m_text;
};

} // namespace zendrel
