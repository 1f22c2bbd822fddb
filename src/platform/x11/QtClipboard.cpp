#include "platform/x11/QtClipboard.h"

#include "base/Secrets.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace zendrel::x11 {

QtClipboard::QtClipboard() {
    m_connection = QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, [this] { ++m_changes; });
}

QtClipboard::~QtClipboard() {
    QObject::disconnect(m_connection);
}

std::string QtClipboard::text() {
    QString text = QGuiApplication::clipboard()->text();
    std::string utf8 = secretUtf8(text);
    wipe(text);
    return utf8;
}

void QtClipboard::setText(const std::string& text, bool secret) {
    // The text of the copy made before is held here while the clipboard lets it go, and then overwritten.
    QString previous = m_owned ? m_owned->text() : QString();
    auto* data = new QMimeData;
    data->setText(QString::fromStdString(text));
    if (secret) {
        data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    }
    m_owned = data;
    QGuiApplication::clipboard()->setMimeData(data);
    wipe(previous);
}

} // namespace zendrel::x11
