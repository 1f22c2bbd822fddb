#pragma once

#include <QDialog>
#include <QString>

namespace zendrel {

class WindowPositions;

// Places a window from its procedure's section of the position file, on the screens of this desktop.
// What is stored is ignored when it lies on no screen or is smaller than the window's minimum size (the
// size of a window that was never laid out); the window then keeps the place its design gives it.
// Returns whether a stored place was applied.
bool restorePlacement(QWidget* window, const WindowPositions& positions, const QString& procedure);
// Writes the window's place and size (its normal ones when it is maximized) under its procedure's name.
void savePlacement(const QWidget* window, WindowPositions& positions, const QString& procedure);
// Centres a window over the nearest visible window it belongs to (its parent's window, or that one's,
// up to the frame), or over the active window; kept on that window's screen. False when there is none.
bool centreOnOwner(QWidget* window);

// A dialog that keeps its place: it is placed from its procedure's section when the derived window
// calls place() (once its controls are laid out) and saves its place when it goes, but only when it has
// been on the screen: a window chosen through without being shown has no place worth keeping. With
// nothing usable stored it opens centred over the window that opened it.
class PlacedDialog : public QDialog {
public:
    PlacedDialog(WindowPositions* positions, const QString& procedure, QWidget* parent = nullptr);
    ~PlacedDialog() override;

protected:
    void place();
    WindowPositions* positions() const { return m_positions; }
    void showEvent(QShowEvent* e) override;

private:
    WindowPositions* m_positions;
    QString m_procedure;
    bool m_placed = false;
    bool m_shown = false;
};

} // namespace zendrel
