#pragma once

#include "base/MessageService.h"

class QWidget;

namespace zendrel {

// Messages as message boxes, over the window that is active (or the given parent). A "|" in a text is a
// line break.
class QtMessageService final : public MessageService {
public:
    explicit QtMessageService(QWidget* parent = nullptr) : m_parent(parent) {}
    Answer show(const Message& m) override;

private:
    QWidget* m_parent;
};

} // namespace zendrel
