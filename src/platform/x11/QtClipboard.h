#pragma once

#include "platform/Shell.h"

#include <QMetaObject>
#include <QPointer>

class QMimeData;

#include <atomic>

namespace zendrel::x11 {

// The desktop clipboard through Qt (the program must have a QGuiApplication). A secret copy carries the
// hint "x-kde-passwordManagerHint: secret", so that clipboard managers leave it out of their history.
class QtClipboard final : public Clipboard {
public:
    QtClipboard();
    ~QtClipboard() override;
    std::string text() override;
    void setText(const std::string& text, bool secret) override;
    uint64_t changeCount() override { return m_changes.load(); }

private:
    std::atomic<uint64_t> m_changes{0};
    QPointer<QMimeData> m_owned;  // the last copy made here, while the clipboard still holds it
    QMetaObject::Connection m_connection;
};

} // namespace zendrel::x11
