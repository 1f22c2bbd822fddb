#pragma once

#include "base/MessageService.h"

#include <QDialog>

class QLineEdit;

namespace zendrel {

// "Enter Picture...": one picture of up to 30 characters, which must begin with "@".
class AskPicture : public QDialog {
    Q_OBJECT

public:
    AskPicture(const QString& current, MessageService& messages, QWidget* parent = nullptr);
    // The picture entered, or an empty text when cancelled or closed.
    static QString ask(const QString& current, MessageService& messages, QWidget* parent = nullptr);

    QLineEdit* entry() const { return m_entry; }

private:
    void ok();

    MessageService& m_messages;
    QLineEdit* m_entry;
};

} // namespace zendrel
