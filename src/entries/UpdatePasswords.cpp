#include "entries/UpdatePasswords.h"

#include "base/Secrets.h"
#include "base/Dates.h"
#include "framework/SecretField.h"
#include "entries/AdvancedSettings.h"
#include "entries/Attachment.h"
#include "entries/ClipboardDisplay.h"
#include "entries/EntryWindows.h"
#include "entries/InfoWindows.h"
#include "base/DatePicture.h"
#include "send/Sender.h"

#include <QCheckBox>
#include <QDropEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QStandardItemModel>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace zendrel {

namespace {

constexpr int kNotesLength = 10'000;

QString withoutTrailingSpaces(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) {
        --n;
    }
    return s.left(n);
}

QLineEdit* lineField(QWidget* parent, int length, const QString& tip) {
    auto* e = new QLineEdit(parent);
    e->setMaxLength(length);
    e->setToolTip(tip);
    e->setAccessibleName(tip);
    return e;
}

QLabel* prompt(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

} // namespace

void RefreshingCombo::showPopup() {
    Q_EMIT aboutToShowPopup();
    QComboBox::showPopup();
}

UpdatePasswords::UpdatePasswords(EntryServices services, Request request, PasswordRecord& entry, const UserRecord& user,
                                 QWidget* parent)
    : UpdatePasswords(std::move(services), request, entry, user, FormVariant::Main, parent) {}

UpdatePasswords::UpdatePasswords(EntryServices services, Request request, PasswordRecord& entry, const UserRecord& user,
                                 FormVariant variant, QWidget* parent)
    : PlacedDialog(services.positions, QStringLiteral("UpdatePasswords"), parent), m_s(std::move(services)),
      m_request(request), m_variant(variant), m_entry(entry), m_user(user), m_form(m_s.store, m_s.messages, m_s.clock),
      m_openingMonitor(entry.monitor) {
    setAccessibleName(QStringLiteral("Update the Passwords File"));
    setWindowTitle(request == Request::Insert   ? QStringLiteral("Add Password Information")
                   : request == Request::Change ? QStringLiteral("Change Password Information")
                                                : QStringLiteral("Update the Passwords File"));
    setMinimumSize(300, 100);
    // The expiry date's picture, replaced by the program's date picture as the form opens.
    m_datePicture = replaceDatePictures(QStringLiteral("@d17"), m_s.datePicture());
    build();
    rebuildWindowTitles();
    m_form.open(m_entry, request, m_user, windowTitles(), QString::fromStdString(m_s.clipboard.text()));
    fillScripts();
    if (m_user.showPasswords) {
        m_password->setEchoMode(QLineEdit::Normal);
        m_confirm->setEchoMode(QLineEdit::Normal);
    }
    showValues();
    updateEnabling();
    place();
    m_service->setFocus();
}

UpdatePasswords::~UpdatePasswords() {
    // Whatever the form ends with, the passwords typed into it are overwritten: the entry keeps its own copy.
    clearSecretField(m_password);
    clearSecretField(m_confirm);
}

bool UpdatePasswords::run(EntryServices services, Request request, PasswordRecord& entry, const UserRecord& user,
                          bool& monitorChanged, QWidget* parent) {
    return run(std::move(services), request, entry, user, FormVariant::Main, monitorChanged, parent);
}

bool UpdatePasswords::run(EntryServices services, Request request, PasswordRecord& entry, const UserRecord& user,
                          FormVariant variant, bool& monitorChanged, QWidget* parent) {
    monitorChanged = false;
    if (request == Request::Delete) {
        if (!confirmDelete(services.messages)) {
            return false;
        }
        if (!EntryOperations(services.store, services.messages, services.clock).remove(entry)) {
            return false;
        }
        // A watched entry that is gone must never be typed again.
        monitorChanged = entry.monitor != 0;
        return true;
    }
    UpdatePasswords form(std::move(services), request, entry, user, variant, parent);
    const bool saved = form.exec() == QDialog::Accepted;
    monitorChanged = saved && form.monitorChanged();
    return saved;
}

void UpdatePasswords::build() {
    m_tabs = new QTabWidget(this);
    m_tabs->addTab(buildGeneral(), QStringLiteral("General"));
    m_tabs->addTab(buildNotes(m_notes, QStringLiteral("&Notes:"), QStringLiteral("Notes")), QStringLiteral("Notes"));
    m_tabs->addTab(buildNotes(m_moreNotes, QStringLiteral("&More Notes:"), QStringLiteral("More Notes")),
                   QStringLiteral("More Notes"));
    m_tabs->addTab(buildSendSettings(), QStringLiteral("Settings for Send"));
    if (!monitorForm()) {
        m_tabs->addTab(buildExpiry(), QStringLiteral("Expiry"));
        m_tabs->addTab(buildFiles(), QStringLiteral("Files"));
    }

    auto* bottom = new QGridLayout;
    if (!monitorForm()) {
        m_clipboard = new ClipboardDisplay(m_s.clipboard, this);
        bottom->addWidget(m_clipboard->prompt(), 0, 0);
        bottom->addWidget(m_clipboard->line(), 0, 1, 1, 3);
        QString stamp;
        if (m_entry.lastChangeDate != 0) {
            stamp = QStringLiteral("Last changed ") + longDate(m_entry.lastChangeDate).trimmed() + QLatin1Char(' ') +
                    shortTime(m_entry.lastChangeTime);
        }
        auto* lastChanged = new QLabel(stamp, this);
        lastChanged->setAccessibleName(QStringLiteral("Last Changed:"));
        bottom->addWidget(lastChanged, 1, 0, 1, 2);
    }
    m_ok = new QPushButton(QStringLiteral("&OK"), this);
    m_ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    bottom->addWidget(m_ok, 1, 2);
    bottom->addWidget(cancel, 1, 3);
    connect(m_ok, &QPushButton::clicked, this, &UpdatePasswords::ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(bottom);

    // Tab over the two buttons of a field when the option asks for it.
    m_skipTo = {{m_notes, m_moreNotes}, {m_moreNotes, m_paste}};
    m_textFields = {m_service, m_url, m_name, m_password, m_confirm, m_notes, m_moreNotes};
    if (!monitorForm()) {
        m_skipTo.insert({{m_service, m_url}, {m_url, m_name}, {m_name, m_password}, {m_password, m_confirm}});
        m_textFields << m_filename;
    }
    for (QWidget* w : m_textFields) {
        w->installEventFilter(this);
        if (auto* text = qobject_cast<QPlainTextEdit*>(w)) {
            text->viewport()->installEventFilter(this);
        }
    }
}

void UpdatePasswords::addCopyPaste(QGridLayout* grid, int row, QWidget* field, const QString& name) {
    int column = 2;
    QWidget* before = field;  // Tab goes from the field to its two buttons, then on
    for (const QString& verb : {QStringLiteral("Paste"), QStringLiteral("Copy")}) {
        auto* b = new QToolButton(field->parentWidget());
        b->setText(verb);
        b->setToolTip(verb + QLatin1Char(' ') + name);
        b->setAccessibleName(b->toolTip());
        b->setObjectName(b->toolTip());
        m_buttonField[b] = field;
        const bool paste = verb == QLatin1String("Paste");
        connect(b, &QToolButton::clicked, this, [this, field, paste] {
            if (paste) {
                setTextOf(field, withoutTrailingSpaces(QString::fromStdString(m_s.clipboard.text())));
                field->setFocus();
                updateEnabling();
                return;
            }
            // Overwritten first, so that a clipboard history never pairs the new text with the old.
            // Every field of the entry is marked for clipboard managers as a secret, as in the list.
            m_s.clipboard.setText(std::string(512, ' '), true);
            const Wiped<std::string> text(secretUtf8(*Wiped<QString>(withoutTrailingSpaces(textOf(field)))));
            m_s.clipboard.setText(*text, true);
            if (m_clipboard) {
                m_clipboard->refresh();
            }
        });
        grid->addWidget(b, row, column++);
        QWidget::setTabOrder(before, b);
        before = b;
    }
}

QWidget* UpdatePasswords::buildGeneral() {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    m_service = lineField(page, width::kService, QStringLiteral("Service"));
    m_url = lineField(page, width::kUrl, QStringLiteral("Internet Address"));
    m_name = lineField(page, width::kName, QStringLiteral("Name used on this service"));
    m_password = lineField(page, width::kPassword, QStringLiteral("Password used on this service"));
    m_confirm = lineField(page, width::kPassword, QStringLiteral("Confirmation Password"));
    m_password->setEchoMode(QLineEdit::Password);
    m_confirm->setEchoMode(QLineEdit::Password);
    const bool mon = monitorForm();
    const std::vector<std::tuple<QString, QLineEdit*, QString>> rows = {
        {mon ? QStringLiteral("&Service:") : QStringLiteral("&Service*:"), m_service, QStringLiteral("Service")},
        {QStringLiteral("&URL:"), m_url, QStringLiteral("URL")},
        {mon ? QStringLiteral("&Name:") : QStringLiteral("&Name*:"), m_name, QStringLiteral("Name")},
        {QStringLiteral("&Password:"), m_password, QStringLiteral("Password")},
    };
    int row = 0;
    for (const auto& [text, field, name] : rows) {
        grid->addWidget(prompt(text, field, page), row, 0);
        grid->addWidget(field, row, 1);
        if (!mon) {
            addCopyPaste(grid, row, field, name);
        }
        ++row;
    }
    grid->addWidget(prompt(mon ? QStringLiteral("&Confirm:") : QStringLiteral("&Confirm Password:"), m_confirm, page),
                    row, 0);
    grid->addWidget(m_confirm, row++, 1);
    auto* generate =
        new QPushButton(mon ? QStringLiteral("Gener&ate") : QStringLiteral("Gener&ate New Password"), page);
    connect(generate, &QPushButton::clicked, this, &UpdatePasswords::generate);
    grid->addWidget(generate, row++, 1, Qt::AlignLeft);
    grid->setRowStretch(row, 1);
    return page;
}

QWidget* UpdatePasswords::buildNotes(QPlainTextEdit*& text, const QString& label, const QString& name) {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    text = new QPlainTextEdit(page);
    text->setToolTip(name);
    text->setAccessibleName(name);
    text->setTabChangesFocus(true);
    QPlainTextEdit* edit = text;
    connect(edit, &QPlainTextEdit::textChanged, this, [edit] {
        // The field holds 10,000 characters; typing or pasting beyond that is cut off.
        if (edit->toPlainText().size() > kNotesLength) {
            const QSignalBlocker block(edit);
            edit->setPlainText(edit->toPlainText().left(kNotesLength));
            edit->moveCursor(QTextCursor::End);
        }
    });
    grid->addWidget(prompt(label, text, page), 0, 0);
    grid->addWidget(text, 1, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    addCopyPaste(grid, 0, text, name);
    return page;
}

QWidget* UpdatePasswords::buildSendSettings() {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    int row = 0;
    m_paste = new QComboBox(page);
    m_paste->setEditable(true);
    m_paste->setInsertPolicy(QComboBox::NoInsert);
    m_paste->lineEdit()->setMaxLength(width::kPaste);
    m_paste->setToolTip(QStringLiteral("What to send to other application"));
    m_paste->setAccessibleName(m_paste->toolTip());
    const bool mon = monitorForm();
    grid->addWidget(
        prompt(mon ? QStringLiteral("Keys to Send:") : QStringLiteral("&Text/Keys to Send:"), m_paste, page), row, 0);
    grid->addWidget(m_paste, row++, 1, 1, 3);
    connect(m_paste, &QComboBox::editTextChanged, this, &UpdatePasswords::updateEnabling);
    if (!mon) {
        auto* keys = new QPushButton(QStringLiteral("List All Keys"), page);
        m_addDefaults = new QPushButton(QStringLiteral("Add to Defaults"), page);
        connect(keys, &QPushButton::clicked, this, &UpdatePasswords::listAllKeys);
        connect(m_addDefaults, &QPushButton::clicked, this, &UpdatePasswords::addToDefaults);
        grid->addWidget(keys, row, 1, Qt::AlignLeft);
        grid->addWidget(m_addDefaults, row++, 2, Qt::AlignLeft);
    }

    m_wait = new QSpinBox(page);
    m_wait->setRange(0, 255);
    m_wait->setToolTip(QStringLiteral("Seconds before start of automatic send to"));
    m_wait->setAccessibleName(m_wait->toolTip());
    connect(m_wait, &QSpinBox::editingFinished, this, &UpdatePasswords::checkWait);
    grid->addWidget(
        prompt(mon ? QStringLiteral("Wait Before &Send:") : QStringLiteral("Wait Before &Sending:"), m_wait, page), row,
        0);
    grid->addWidget(m_wait, row, 1);
    grid->addWidget(new QLabel(QStringLiteral("seconds"), page), row++, 2);
    if (!mon) {
        m_direct = new QCheckBox(QStringLiteral("Direct Send"), page);
        m_direct->setToolTip(QStringLiteral("Send directly to other application"));
        grid->addWidget(m_direct, row++, 1);
    }

    m_title = new RefreshingCombo(page);
    m_title->setEditable(true);
    m_title->setInsertPolicy(QComboBox::NoInsert);
    m_title->lineEdit()->setMaxLength(width::kWindowTitle);
    m_title->setToolTip(QStringLiteral("Window Title to Locate for automatic send"));
    m_title->setAccessibleName(m_title->toolTip());
    // The drop list shows each window's title and, beside it, its window number.
    m_title->setModel(new QStandardItemModel(0, 2, m_title));
    auto* titleView = new QTreeView(m_title);
    titleView->setHeaderHidden(true);
    titleView->setRootIsDecorated(false);
    titleView->setAllColumnsShowFocus(true);
    m_title->setView(titleView);
    connect(m_title, &RefreshingCombo::aboutToShowPopup, this, &UpdatePasswords::rebuildWindowTitles);
    connect(m_title, &QComboBox::editTextChanged, this, &UpdatePasswords::updateEnabling);
    connect(m_title, &QComboBox::activated, this, &UpdatePasswords::titleAccepted);
    connect(m_title->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (m_title->lineEdit()->isModified()) {
            m_title->lineEdit()->setModified(false);
            titleAccepted();
        }
    });
    grid->addWidget(
        prompt(mon ? QStringLiteral("&Locate Window:") : QStringLiteral("&Locate Window Title:"), m_title, page), row,
        0);
    grid->addWidget(m_title, row, 1, 1, 2);
    m_advanced = new QPushButton(QStringLiteral("Advanced"), page);
    connect(m_advanced, &QPushButton::clicked, this, &UpdatePasswords::advanced);
    grid->addWidget(m_advanced, row++, 3);

    m_monitor = new QCheckBox(QStringLiteral("Monito&r"), page);
    m_monitor->setToolTip(QStringLiteral("Monitor for automatic send to other appli"));
    connect(m_monitor, &QCheckBox::toggled, this, &UpdatePasswords::updateEnabling);
    grid->addWidget(m_monitor, row++, 1);
    auto* intervalPrompt = new QLabel(QStringLiteral("Monitor interval:"), page);
    m_repeat = new QSpinBox(page);
    m_repeat->setRange(0, 999);
    m_repeat->setToolTip(QStringLiteral("Do not repeat automatic send to other app"));
    m_repeat->setAccessibleName(m_repeat->toolTip());
    intervalPrompt->setBuddy(m_repeat);
    auto* repeatText = new QLabel(
        mon ? QStringLiteral("0=disable after found") : QStringLiteral("Enter 0 to disable after first find."), page);
    auto* tip = new QPushButton(QStringLiteral("Tip"), page);
    connect(tip, &QPushButton::clicked, this, [this] {
        m_s.messages.show(QStringLiteral("Tip"),
                          QStringLiteral("This is the number of seconds to wait before looking for the same window "
                                         "again.  Enter 0 to stop looking after a window has been found."));
    });
    grid->addWidget(intervalPrompt, row, 0);
    grid->addWidget(m_repeat, row, 1);
    grid->addWidget(repeatText, row, 2);
    grid->addWidget(tip, row++, 3);
    m_monitorControls = {m_repeat, repeatText, tip, intervalPrompt};
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(2, 1);
    return page;
}

QWidget* UpdatePasswords::buildExpiry() {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    m_expiry = lineField(page, 40, QStringLiteral("Expiry Date"));
    connect(m_expiry, &QLineEdit::editingFinished, this, [this] {
        if (!m_expiry->isModified() || !checkExpiry()) {
            return;
        }
        m_expiry->setModified(false);
        m_entry.expiryDate = parseDate(m_expiry->text(), m_datePicture);
        m_expiry->setText(formatDate(m_entry.expiryDate, m_datePicture));
    });
    auto* select = new QPushButton(QStringLiteral("Select"), page);
    select->setToolTip(QStringLiteral("Select Date"));
    select->setAccessibleName(QStringLiteral("Select Date"));
    connect(select, &QPushButton::clicked, this, &UpdatePasswords::selectDate);
    m_interval = new QSpinBox(page);
    m_interval->setRange(0, 999);
    m_interval->setSpecialValueText(QStringLiteral(" "));  // no interval shows blank
    m_interval->setToolTip(QStringLiteral("Expire every n days"));
    m_interval->setAccessibleName(m_interval->toolTip());
    grid->addWidget(prompt(QStringLiteral("Expiry Date:"), m_expiry, page), 0, 0);
    grid->addWidget(m_expiry, 0, 1);
    grid->addWidget(select, 0, 2);
    grid->addWidget(prompt(QStringLiteral("Expiry Interval (Days):"), m_interval, page), 1, 0);
    grid->addWidget(m_interval, 1, 1);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(3, 1);
    return page;
}

QWidget* UpdatePasswords::buildFiles() {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    auto* text = new QLabel(QStringLiteral("When you press \"Send\" on \"Browse Passwords\", you can optionally start a "
                                           "program or document."),
                            page);
    text->setWordWrap(true);
    grid->addWidget(text, 0, 0, 1, 4);
    m_filename = lineField(page, width::kFilename, QStringLiteral("Program or document to start when \"Send\" pressed"));
    auto* select = new QPushButton(QStringLiteral("Select"), page);
    select->setAccessibleName(QStringLiteral("Select Program"));
    auto* test = new QPushButton(QStringLiteral("Test"), page);
    connect(select, &QPushButton::clicked, this, &UpdatePasswords::selectProgram);
    connect(test, &QPushButton::clicked, this, &UpdatePasswords::testProgram);
    grid->addWidget(prompt(QStringLiteral("Program/document:"), m_filename, page), 1, 0);
    grid->addWidget(m_filename, 1, 1);
    grid->addWidget(select, 1, 2);
    grid->addWidget(test, 1, 3);

    auto* attachText = new QLabel(QStringLiteral("You can encrypt a small (32k or less) file to be stored with this entry."),
                                  page);
    attachText->setWordWrap(true);
    grid->addWidget(attachText, 2, 0, 1, 4);
    m_attachmentName = lineField(page, width::kFilename, QStringLiteral("Program or document to encrypt/store"));
    m_attachmentName->setReadOnly(true);
    auto* encrypt = new QPushButton(QStringLiteral("Encrypt"), page);
    m_saveToDisk = new QPushButton(QStringLiteral("Save to Disk"), page);
    connect(encrypt, &QPushButton::clicked, this, &UpdatePasswords::encrypt);
    connect(m_saveToDisk, &QPushButton::clicked, this, &UpdatePasswords::saveToDisk);
    grid->addWidget(prompt(QStringLiteral("File:"), m_attachmentName, page), 3, 0);
    grid->addWidget(m_attachmentName, 3, 1);
    grid->addWidget(encrypt, 3, 2);
    grid->addWidget(m_saveToDisk, 3, 3);
    m_attachmentSize = new QLabel(page);
    m_attachmentSize->setAccessibleName(QStringLiteral("Attachment size"));
    grid->addWidget(m_attachmentSize, 4, 1);
    grid->setRowStretch(5, 1);
    grid->setColumnStretch(1, 1);
    return page;
}

void UpdatePasswords::fillScripts() {
    const QString current = m_paste->currentText();
    const QSignalBlocker block(m_paste);
    m_paste->clear();
    KeyRange all;
    for (const ScriptPasteRecord& r : Table<ScriptPasteRecord>(m_s.store).read(QStringLiteral("SP_:KeyPaste"), all)) {
        m_paste->addItem(r.paste);
    }
    m_paste->setEditText(current);
}

void UpdatePasswords::rebuildWindowTitles() {
    m_windows.clear();
    for (const WindowInfo& w : m_s.desktop.topLevelWindows()) {
        const QString title = QString::fromStdString(w.text).left(254);
        if (!title.isEmpty()) {
            m_windows.emplace_back(title, w.id);
        }
    }
    if (!m_title) {
        return;
    }
    const QString current = m_title->currentText();
    const QSignalBlocker block(m_title);
    m_title->clear();
    auto* model = static_cast<QStandardItemModel*>(m_title->model());
    for (const auto& [title, id] : m_windows) {
        model->appendRow({new QStandardItem(title), new QStandardItem(QStringLiteral("0x%1").arg(id, 0, 16))});
    }
    m_title->setEditText(current);
}

QStringList UpdatePasswords::windowTitles() const {
    QStringList l;
    for (const auto& w : m_windows) {
        l << w.first;
    }
    return l;
}

QString UpdatePasswords::textOf(QWidget* field) const {
    if (auto* line = qobject_cast<QLineEdit*>(field)) {
        return line->text();
    }
    if (auto* text = qobject_cast<QPlainTextEdit*>(field)) {
        return text->toPlainText();
    }
    if (auto* combo = qobject_cast<QComboBox*>(field)) {
        return combo->currentText();
    }
    return {};
}

void UpdatePasswords::setTextOf(QWidget* field, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(field)) {
        line->setText(text.left(line->maxLength()));
        line->setModified(true);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(field)) {
        edit->setPlainText(text.left(kNotesLength));
    } else if (auto* combo = qobject_cast<QComboBox*>(field)) {
        combo->setEditText(text);
    }
}

QWidget* UpdatePasswords::fieldOf(const QString& buttonName) const {
    for (const auto& [button, field] : m_buttonField) {
        if (static_cast<QWidget*>(button)->accessibleName() == buttonName) {
            return field;
        }
    }
    return nullptr;
}

void UpdatePasswords::showValues() {
    m_service->setText(fitText(m_entry.service, width::kService));
    m_url->setText(fitText(m_entry.url, width::kUrl));
    m_name->setText(fitText(m_entry.name, width::kName));
    m_password->setText(fitText(m_entry.password, width::kPassword));
    m_confirm->setText(fitText(m_entry.confirmPassword, width::kPassword));
    m_notes->setPlainText(m_entry.notes.left(kNotesLength));
    m_moreNotes->setPlainText(m_entry.moreNotes.left(kNotesLength));
    m_paste->setEditText(fitText(m_entry.paste, width::kPaste));
    m_wait->setValue(m_entry.secondsToWait);
    if (m_direct) {
        m_direct->setChecked(m_entry.directSend != 0);
    }
    m_title->setEditText(fitText(m_entry.windowTitleToLocate, width::kWindowTitle));
    m_monitor->setChecked(m_entry.monitor != 0);
    // The fields show three digits, but a larger value from elsewhere (the command line, an import) is
    // kept as it is rather than cut down when the entry is saved.
    m_repeat->setRange(0, std::max(999, m_entry.doNotRepeatSeconds));
    m_repeat->setValue(std::max(m_entry.doNotRepeatSeconds, 0));
    if (monitorForm()) {
        return; // no expiry, program or attachment controls
    }
    m_expiry->setText(formatDate(m_entry.expiryDate, m_datePicture));
    m_interval->setRange(0, std::max(999, m_entry.expiryInterval));
    m_interval->setValue(std::max(m_entry.expiryInterval, 0));
    m_filename->setText(fitText(m_entry.filename, width::kFilename));
    showAttachment();
}

void UpdatePasswords::takeScreenValues() {
    m_entry.service = m_service->text();
    m_entry.url = m_url->text();
    m_entry.name = m_name->text();
    m_entry.password = secretText(m_password);
    m_entry.confirmPassword = secretText(m_confirm);
    m_entry.notes = m_notes->toPlainText();
    m_entry.moreNotes = m_moreNotes->toPlainText();
    m_entry.paste = m_paste->currentText();
    m_entry.secondsToWait = static_cast<uint8_t>(m_wait->value());
    m_entry.windowTitleToLocate = m_title->currentText();
    m_entry.monitor = m_monitor->isChecked() ? 1 : 0;
    m_entry.doNotRepeatSeconds = m_repeat->value();
    if (monitorForm()) {
        return; // the fields this form does not show keep their values
    }
    m_entry.directSend = m_direct->isChecked() ? 1 : 0;
    if (const int32_t day = parseDate(m_expiry->text(), m_datePicture); day >= 0) {
        m_entry.expiryDate = day;
    }
    m_entry.expiryInterval = m_interval->value();
    m_entry.filename = m_filename->text();
}

void UpdatePasswords::updateEnabling() {
    if (!m_ok) {
        return;  // still building
    }
    if (m_clipboard) {
        m_clipboard->setHidden(m_s.hideClipboard());
    }
    for (QWidget* w : m_monitorControls) {
        w->setEnabled(m_monitor->isChecked());
    }
    m_advanced->setEnabled(!fitText(m_title->currentText(), width::kWindowTitle).isEmpty());
    if (m_addDefaults) {
        m_addDefaults->setEnabled(!fitText(m_paste->currentText(), width::kPaste).isEmpty());
    }
}

void UpdatePasswords::focusControl(QWidget* w) {
    for (int i = 0; i < m_tabs->count(); ++i) {
        if (m_tabs->widget(i)->isAncestorOf(w)) {
            m_tabs->setCurrentIndex(i);
        }
    }
    w->setFocus();
}

void UpdatePasswords::refuse(QWidget* control, const QString& value, const QString& title, const QString& text) {
    // Leaving a control and then "&OK" (or a message box taking the focus from it) check the same value:
    // it is refused once.
    if (m_refused != std::pair{control, value}) {
        m_s.messages.show(title, text);
    }
    m_refused = {control, value};
    focusControl(control);
}

bool UpdatePasswords::checkWait() {
    const auto refusal = EntryOperations::secondsToWaitRefusal(m_wait->value());
    if (!refusal) {
        return true;
    }
    refuse(m_wait, m_wait->text(), refusal->title, refusal->text);
    return false;
}

bool UpdatePasswords::checkExpiry() {
    if (!m_expiry || parseDate(m_expiry->text(), m_datePicture) >= 0) {
        return true;
    }
    refuse(m_expiry, m_expiry->text(), QStringLiteral("Error"),
           QStringLiteral("\"%1\" is not a date. Type it as %2 or choose it with \"Select\".")
               .arg(m_expiry->text().trimmed(), formatDate(m_s.clock.today(), m_datePicture)));
    return false;
}

void UpdatePasswords::titleAccepted() {
    updateEnabling();
    if (m_monitor->isChecked() && fitText(m_title->currentText(), width::kWindowTitle).isEmpty()) {
        focusControl(m_title);
        m_s.messages.show(QStringLiteral("Information Required"),
                          QStringLiteral("If you check the Monitor checkbox, you must enter a Window Title."));
    }
}

void UpdatePasswords::generate() {
    takeScreenValues();
    GeneratePassword w(m_entry, m_user, m_s.store, m_s.random, m_s.messages, m_s.clipboard, m_s.positions,
                       monitorForm(), this);
    w.exec();
    showValues();
}

void UpdatePasswords::listAllKeys() {
    takeScreenValues();
    SelectKeys w(m_s.dataDirectory, m_s.positions, this);
    w.exec();
    showValues();
}

void UpdatePasswords::addToDefaults() {
    takeScreenValues();
    if (m_form.addToDefaults(m_entry.paste)) {
        fillScripts();
    }
}

void UpdatePasswords::advanced() {
    takeScreenValues();
    UpdatePasswordAdvSet w(m_entry, m_s.positions, monitorForm(), &m_s.desktop, this);
    w.exec();
    showValues();
}

void UpdatePasswords::selectDate() {
    takeScreenValues();
    m_entry.expiryDate = Calendar::pick(m_entry.expiryDate, m_s.clock.today(), QStringLiteral("Select Expiry Date"),
                                        m_s.messages, m_s.positions, this);
    m_expiry->setText(formatDate(m_entry.expiryDate, m_datePicture));
}

void UpdatePasswords::selectProgram() {
    if (auto path = m_s.dialogs.openFile(QStringLiteral("Choose a File"), QStringLiteral("All Files|*.*"),
                                         m_filename->text())) {
        if (const auto tooLong = Attachment::pathTooLong(*path)) {
            m_s.messages.show(QStringLiteral("Error"), *tooLong);
            return;
        }
        m_filename->setText(*path);
    }
}

void UpdatePasswords::testProgram() {
    takeScreenValues();
    if (!fitText(m_entry.filename, width::kFilename).isEmpty()) {
        startEntryProgram(m_entry.filename, m_s.shell, m_s.messages, true);
    }
}

void UpdatePasswords::encrypt() {
    takeScreenValues();
    Attachment(m_s.messages, m_s.dialogs, &m_s.store).encrypt(m_entry);
    showAttachment();
}

void UpdatePasswords::saveToDisk() {
    takeScreenValues();
    Attachment(m_s.messages, m_s.dialogs, &m_s.store).saveToDisk(m_entry);
}

void UpdatePasswords::showAttachment() {
    m_attachmentName->setText(fitText(m_entry.encryptedFilename, width::kFilename));
    const qsizetype n = m_entry.encryptedFile.size();
    m_attachmentSize->setText(n == 0 ? QStringLiteral("No file is stored with this entry.")
                                     : QStringLiteral("%1 bytes are stored with this entry.").arg(n));
    m_saveToDisk->setEnabled(n > 0);
}

void UpdatePasswords::ok() {
    takeScreenValues();
    const bool valid = checkWait() && checkExpiry();
    m_refused = {};
    if (!valid) {
        return;
    }
    const EntryOperations::Outcome out = m_form.save(m_entry, m_request, m_openingMonitor, m_variant);
    if (out.saved) {
        m_monitorChanged = out.monitorChanged;
        accept();
        return;
    }
    m_confirm->setText(m_entry.confirmPassword);
    switch (out.focus) {
    case EntryOperations::Focus::OkButton:
        m_ok->setFocus();
        break;
    case EntryOperations::Focus::Service:
        focusControl(m_service);
        break;
    case EntryOperations::Focus::Name:
        focusControl(m_name);
        break;
    case EntryOperations::Focus::Url:
        focusControl(m_url);
        break;
    case EntryOperations::Focus::WindowTitle:
        focusControl(m_title);
        break;
    case EntryOperations::Focus::Program:
        if (m_filename) {
            focusControl(m_filename);
        }
        break;
    case EntryOperations::Focus::None:
        break;
    }
}

bool UpdatePasswords::dropOnto(QWidget* target, QWidget* source) {
    if (!target || !source || target == source || !m_textFields.contains(target) || !m_textFields.contains(source)) {
        return false;
    }
    setTextOf(target, textOf(source));
    updateEnabling();
    return true;
}

bool UpdatePasswords::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) {
        // Other windows may have come and gone while the form was in the background.
        rebuildWindowTitles();
        updateEnabling();
    }
    return PlacedDialog::event(e);
}

bool UpdatePasswords::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        auto to = m_skipTo.find(watched);
        if (k->key() == Qt::Key_Tab && k->modifiers() == Qt::NoModifier && to != m_skipTo.end() && m_s.skipCopyPaste()) {
            focusControl(to->second);
            return true;
        }
    } else if (e->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(e);
        auto owner = [](QObject* o) -> QWidget* {
            // A text box takes drops on its viewport.
            QWidget* w = qobject_cast<QWidget*>(o);
            if (auto* text = qobject_cast<QPlainTextEdit*>(w ? w->parentWidget() : nullptr)) {
                return text;
            }
            return w;
        };
        if (dropOnto(owner(watched), owner(drop->source()))) {
            drop->acceptProposedAction();
            return true;
        }
    }
    return PlacedDialog::eventFilter(watched, e);
}

} // namespace zendrel
