#include "entries/AdvancedSettings.h"

#include "data/DataStore.h"
#include "operations/SendOperations.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace zendrel {

UpdatePasswordAdvSet::UpdatePasswordAdvSet(PasswordRecord& entry, WindowPositions* positions, bool monitorVariant,
                                           Desktop* desktop, QWidget* parent)
    : PlacedDialog(positions, QStringLiteral("UpdatePasswordAdvSet"), parent), m_entry(entry) {
    setWindowTitle(QStringLiteral("Advanced Settings"));
    auto* explanation = new QLabel(
        QStringLiteral("Many windows show text, such as the captions of their buttons or a message, that can be "
                       "looked for to confirm that the right window was found."),
        this);
    explanation->setWordWrap(true);
    auto* prompt = new QLabel(QStringLiteral("Confirm window selection by looking for the text:"), this);
    m_contents = new QLineEdit(fitText(entry.windowContents, width::kWindowContents), this);
    m_contents->setMaxLength(width::kWindowContents);
    m_contents->setToolTip(QStringLiteral("Contents of window to locate"));
    m_contents->setAccessibleName(QStringLiteral("Contents of window to locate"));
    prompt->setBuddy(m_contents);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(prompt);
    layout->addWidget(m_contents);
    if (desktop) {
        showWindowTexts(*desktop);
        layout->addWidget(m_textsCaption);
        layout->addWidget(m_texts);
    }
    if (!monitorVariant) {
        auto* direct = new QLabel(QStringLiteral("Some programs accept keystrokes at high speed when they are sent to "
                                                 "them directly."),
                                  this);
        direct->setWordWrap(true);
        layout->addWidget(direct);
        m_direct = new QCheckBox(QStringLiteral("Try \"Direct Send\" for this entry"), this);
        m_direct->setToolTip(QStringLiteral("Send directly to other application"));
        m_direct->setChecked(entry.directSend != 0);
        layout->addWidget(m_direct);
    }
    auto* close = new QPushButton(QStringLiteral("Cl&ose"), this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, [this] {
        takeValues();
        accept();
    });
    layout->addWidget(close, 0, Qt::AlignRight);
    place();
}

void UpdatePasswordAdvSet::showWindowTexts(Desktop& desktop) {
    const QString title = m_entry.windowTitleToLocate;
    const WindowTexts texts = windowTexts(desktop, title);
    m_textsCaption = new QLabel(texts.message.isEmpty() ? QStringLiteral("Texts the window \"%1\" shows now "
                                                                         "(double-click one to look for it):")
                                                              .arg(title.trimmed())
                                                        : texts.message,
                                this);
    m_textsCaption->setWordWrap(true);
    m_texts = new QListWidget(this);
    m_texts->setAccessibleName(QStringLiteral("Texts the window shows"));
    m_texts->addItems(texts.lines);
    m_texts->setEnabled(texts.found);
    connect(m_texts, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        m_contents->setText(item->text().left(width::kWindowContents));
    });
}

void UpdatePasswordAdvSet::takeValues() {
    m_entry.windowContents = fitText(m_contents->text(), width::kWindowContents);
    if (m_direct) {
        m_entry.directSend = m_direct->isChecked() ? 1 : 0;
    }
}

} // namespace zendrel
