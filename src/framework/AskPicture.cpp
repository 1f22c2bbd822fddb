#include "framework/AskPicture.h"

#include "base/Picture.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zendrel {

AskPicture::AskPicture(const QString& current, MessageService& messages, QWidget* parent)
    : QDialog(parent), m_messages(messages) {
    setWindowTitle(QStringLiteral("Enter Picture..."));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("AskPicture"));
    auto* prompt = new QLabel(QStringLiteral("Picture:"), this);
    m_entry = new QLineEdit(current.left(picture::kWidth), this);
    m_entry->setMaxLength(picture::kWidth);
    m_entry->setAccessibleName(QStringLiteral("Picture"));
    prompt->setBuddy(m_entry);
    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &AskPicture::ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(prompt);
    row->addWidget(m_entry);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
}

void AskPicture::ok() {
    if (const auto why = picture::refusal(m_entry->text())) {
        m_messages.show(QStringLiteral("Invalid Picture!"), *why);
        m_entry->setFocus();
        return;
    }
    accept();
}

QString AskPicture::ask(const QString& current, MessageService& messages, QWidget* parent) {
    AskPicture w(current, messages, parent);
    return w.exec() == QDialog::Accepted ? w.m_entry->text() : QString();
}

} // namespace zendrel
