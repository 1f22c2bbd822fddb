#include "platform/x11/QtClipboard.h"

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
    return QGuiApplication::clipboard()->text().toStdString();
}

void QtClipboard::setText(const std::string& text, bool secret) {
    auto* data = new QMimeData;
    data->setText(QString::fromStdString(text));
    if (secret) {
        data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    }
    QGuiApplication::clipboard()->setMimeData(data);
}

} // namespace zendrel::x11
