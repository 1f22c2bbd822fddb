#pragma once

#include "entries/CalendarModel.h"
#include "entries/PasswordGenerator.h"

#include "framework/WindowPlacement.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace zendrel {

class WindowPositions;

// "Generate Password": makes a new password for the entry being edited, puts it on the clipboard, and
// (on "&OK") remembers the choices for the user.
class GeneratePassword : public PlacedDialog {
    Q_OBJECT

public:
    GeneratePassword(PasswordRecord& entry, const UserRecord& user, DataStore& store, Random& random,
                     MessageService& messages, Clipboard& clipboard, WindowPositions* positions,
                     bool monitorVariant = false, QWidget* parent = nullptr);

    GeneratorChoice screenValues() const;
    void ok();
    void fastGenerate();

private:
    void updateEnabling();
    bool make(const GeneratorChoice& c);

    PasswordRecord& m_entry;
    QString m_user;
    DataStore& m_store;
    Random& m_random;
    MessageService& m_messages;
    Clipboard& m_clipboard;
    WindowPositions* m_positions;
    PasswordGenerator m_generator;
    QButtonGroup* m_types;
    QButtonGroup* m_joints;
    QGroupBox* m_jointBox;
    QSpinBox* m_size;
};

// The date picker: a month grid of 42 day buttons. Returns the chosen date, or the given one on "Cl&ose".
class Calendar : public PlacedDialog {
    Q_OBJECT

public:
    Calendar(int32_t date, int32_t today, const QString& title, MessageService& messages, WindowPositions* positions,
             QWidget* parent = nullptr);
    ~Calendar() override;

    static int32_t pick(int32_t date, int32_t today, const QString& title, MessageService& messages,
                        WindowPositions* positions, QWidget* parent = nullptr);
    int32_t chosen() const { return m_chosen; }
    QPushButton* dayButton(int index) const { return m_buttons[static_cast<size_t>(index)]; }
    const CalendarModel& model() const { return m_model; }
    void chooseButton(int index);

private:
    void showMonth();
    void monthEntered();
    void yearEntered();
    bool eventFilter(QObject* watched, QEvent* e) override;

    CalendarModel m_model;
    int32_t m_today;
    MessageService& m_messages;
    WindowPositions* m_positions;
    int32_t m_chosen;
    std::array<QPushButton*, 42> m_buttons{};
    QLineEdit* m_month;
    QLineEdit* m_year;
    QLineEdit* m_refused = nullptr; // the box whose entry was refused, until it is left
    QLabel* m_heading;
};

} // namespace zendrel
