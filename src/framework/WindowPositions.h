#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>
#include <optional>

namespace zendrel {

// The program's position file (POSITION.INI of the main program, ZDMON.INI of the monitor): the place
// and size of every window under its procedure's name as section, and the column layouts of lists.
// Every call reads or writes the file at once, so a position survives even if the program ends abruptly.
// A missing, unreadable or damaged file never stops a window from opening: it simply opens where its
// design puts it.
class WindowPositions {
public:
    explicit WindowPositions(QString path);

    const QString& path() const { return m_path; }

    // The stored geometry of the procedure's window (keys X, Y, Width and Height), fitted to the screens:
    // a window that would lie on none of them is moved onto the primary screen, shrunk if it is larger.
    // nullopt when nothing usable is stored.
    std::optional<QRect> restore(const QString& procedure, const QList<QRect>& screens, const QRect& primary) const;
    // The geometry as it is stored, not fitted to any screen; nullopt when nothing usable is stored.
    std::optional<QRect> stored(const QString& procedure) const;
    void save(const QString& procedure, const QRect& geometry);

    // Raw values, such as the column layouts under "SRCF?Browse:1"; empty when absent.
    QByteArray value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QByteArray& value);
    void remove(const QString& section, const QString& key);

    // Where a window of the given geometry goes on these screens (see restore()).
    static QRect fitToScreens(const QRect& geometry, const QList<QRect>& screens, const QRect& primary);

private:
    QString m_path;
};

} // namespace zendrel
