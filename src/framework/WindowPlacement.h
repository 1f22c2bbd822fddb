#pragma once

#include <QString>

class QWidget;

namespace zendrel {

class WindowPositions;

// Places a window from its procedure's section of the position file, on the screens of this desktop;
// a window with nothing stored keeps the place its design gives it.
void restorePlacement(QWidget* window, const WindowPositions& positions, const QString& procedure);
// Writes the window's place and size (its normal ones when it is maximized) under its procedure's name.
void savePlacement(const QWidget* window, WindowPositions& positions, const QString& procedure);

} // namespace zendrel

#include <QDialog>

namespace zendrel {

// A dialog that keeps its place: it is placed from its procedure's section when the derived window
// calls place() (once its controls are laid out) and saves its place when it goes.
class PlacedDialog : public QDialog {
public:
    PlacedDialog(WindowPositions* positions, const QString& procedure, QWidget* parent = nullptr)
        : QDialog(parent), m_positions(positions), m_procedure(procedure) {
        setObjectName(procedure);
    }
    ~PlacedDialog() override {
        if (m_positions) {
            savePlacement(this, *m_positions, m_procedure);
        }
    }

protected:
    void place() {
        if (m_positions) {
            restorePlacement(this, *m_positions, m_procedure);
        }
    }
    WindowPositions* positions() const { return m_positions; }

private:
    WindowPositions* m_positions;
    QString m_procedure;
};

} // namespace zendrel
