#include "framework/WindowPositions.h"

#include "base/Files.h"

#include <QSettings>
#include <QVariant>
#include <algorithm>
#include <utility>

namespace zendrel {

namespace {

// Far beyond any desktop, yet small enough that QRect's corner arithmetic cannot overflow.
constexpr int kMaxCoordinate = 1'000'000;

std::optional<int> readInt(const QSettings& s, const QString& key, int lowest, int highest) {
    bool ok = false;
    const int v = s.value(key).toString().trimmed().toInt(&ok);
    if (!ok || v < lowest || v > highest) {
        return std::nullopt;
    }
    return v;
}

// A key with "/" or "\" would be split into subsections by QSettings; one section per name is wanted.
QString sectionKey(const QString& section, const QString& key) {
    QString s = section;
    s.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    QString k = key;
    k.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    return s + QLatin1Char('/') + k;
}

} // namespace

WindowPositions::WindowPositions(QString path) : m_path(std::move(path)) {}

std::optional<QRect> WindowPositions::restore(const QString& procedure, const QList<QRect>& screens,
                                              const QRect& primary) const {
    const auto geometry = stored(procedure);
    if (!geometry) {
        return std::nullopt;
    }
    return fitToScreens(*geometry, screens, primary);
}

std::optional<QRect> WindowPositions::stored(const QString& procedure) const {
    if (!isAbsentOrRegularFile(m_path)) {
        return std::nullopt;
    }
    const QSettings s(m_path, QSettings::IniFormat);
    if (s.status() == QSettings::AccessError) {
        return std::nullopt;
    }
    const auto x = readInt(s, sectionKey(procedure, QStringLiteral("X")), -kMaxCoordinate, kMaxCoordinate);
    const auto y = readInt(s, sectionKey(procedure, QStringLiteral("Y")), -kMaxCoordinate, kMaxCoordinate);
    const auto w = readInt(s, sectionKey(procedure, QStringLiteral("Width")), 1, kMaxCoordinate);
    const auto h = readInt(s, sectionKey(procedure, QStringLiteral("Height")), 1, kMaxCoordinate);
    if (!x || !y || !w || !h) {
        return std::nullopt;
    }
    return QRect(*x, *y, *w, *h);
}

void WindowPositions::save(const QString& procedure, const QRect& geometry) {
    if (!geometry.isValid() || !isAbsentOrRegularFile(m_path)) {
        return;
    }
    QSettings s(m_path, QSettings::IniFormat);
    s.setValue(sectionKey(procedure, QStringLiteral("X")), geometry.x());
    s.setValue(sectionKey(procedure, QStringLiteral("Y")), geometry.y());
    s.setValue(sectionKey(procedure, QStringLiteral("Width")), geometry.width());
    s.setValue(sectionKey(procedure, QStringLiteral("Height")), geometry.height());
    s.sync();
}

QByteArray WindowPositions::value(const QString& section, const QString& key) const {
    if (!isAbsentOrRegularFile(m_path)) {
        return {};
    }
    const QSettings s(m_path, QSettings::IniFormat);
    const QVariant v = s.value(sectionKey(section, key));
    if (v.typeId() == QMetaType::QByteArray) {
        return v.toByteArray();
    }
    // A value edited by hand comes back as text.
    return v.toString().toUtf8();
}

void WindowPositions::setValue(const QString& section, const QString& key, const QByteArray& value) {
    if (!isAbsentOrRegularFile(m_path)) {
        return;
    }
    QSettings s(m_path, QSettings::IniFormat);
    s.setValue(sectionKey(section, key), value);
    s.sync();
}

void WindowPositions::remove(const QString& section, const QString& key) {
    if (!isAbsentOrRegularFile(m_path)) {
        return;
    }
    QSettings s(m_path, QSettings::IniFormat);
    s.remove(sectionKey(section, key));
    s.sync();
}

QRect WindowPositions::fitToScreens(const QRect& geometry, const QList<QRect>& screens, const QRect& primary) {
    const QList<QRect> all = screens.isEmpty() ? QList<QRect>{primary} : screens;
    for (const QRect& screen : all) {
        if (screen.isValid() && screen.intersects(geometry)) {
            return geometry;
        }
    }
    if (!primary.isValid()) {
        return geometry;
    }
    const int w = std::min(geometry.width(), primary.width());
    const int h = std::min(geometry.height(), primary.height());
    const int x = std::clamp(geometry.x(), primary.x(), primary.x() + primary.width() - w);
    const int y = std::clamp(geometry.y(), primary.y(), primary.y() + primary.height() - h);
    return QRect(x, y, w, h);
}

} // namespace zendrel
