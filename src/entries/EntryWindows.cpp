#include "entries/EntryWindows.h"

#include "base/Dates.h"
#include "framework/WindowPositions.h"

#include <QButtonGroup>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace zendrel {

namespace {

const QStringList kTypeCaptions = {"Wor&d", "&Concatenated Words", "&Alphabet Only", "Alpha&numeric", "A&ll Characters"};
const QStringList kJointCaptions = {"&Plus Sign", "H&yphen", "&Number"};

} // namespace

GeneratePassword::GeneratePassword(PasswordRecord& entry, const UserRecord& user, DataStore& store, Random& random,
                                   MessageService& messages, Clipboard& clipboard, WindowPositions* positions,
                                   bool monitorVariant, QWidget* parent)
    : PlacedDialog(positions, QStringLiteral("GeneratePassword"), parent), m_entry(entry), m_user(user.name),
      m_store(store), m_random(random), m_messages(messages), m_clipboard(clipboard), m_positions(positions),
      m_generator(store, random, messages) {
    setWindowTitle(QStringLiteral("Generate Password"));
    auto* typeBox = new QGroupBox(QStringLiteral("Password Type"), this);
    auto* typeLayout = new QVBoxLayout(typeBox);
    m_types = new QButtonGroup(this);
    for (int i = 0; i < kTypeCaptions.size(); ++i) {
        auto* r = new QRadioButton(kTypeCaptions[i], typeBox);
        m_types->addButton(r, i);
        typeLayout->addWidget(r);
    }
    m_size = new QSpinBox(this);
    m_size->setRange(3, 128);
    m_size->setAccessibleName(QStringLiteral("Size"));
    auto* sizeLabel = new QLabel(QStringLiteral("&Size:"), this);
    sizeLabel->setBuddy(m_size);
    m_jointBox = new QGroupBox(QStringLiteral("Type Of Concatenation"), this);
    auto* jointLayout = new QVBoxLayout(m_jointBox);
    m_joints = new QButtonGroup(this);
    for (int i = 0; i < kJointCaptions.size(); ++i) {
        auto* r = new QRadioButton(kJointCaptions[i], m_jointBox);
        m_joints->addButton(r, i);
        jointLayout->addWidget(r);
    }
    auto* okButton = new QPushButton(QStringLiteral("&OK"), this);
    auto* fast = new QPushButton(QStringLiteral("Fast Generat&e"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    fast->setVisible(!monitorVariant);
    okButton->setDefault(true);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(sizeLabel);
    sizeRow->addWidget(m_size);
    sizeRow->addWidget(new QLabel(QStringLiteral("characters"), this));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(okButton);
    buttons->addWidget(fast);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(typeBox);
    layout->addLayout(sizeRow);
    layout->addWidget(m_jointBox);
    layout->addLayout(buttons);
    connect(okButton, &QPushButton::clicked, this, &GeneratePassword::ok);
    connect(fast, &QPushButton::clicked, this, &GeneratePassword::fastGenerate);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_types, &QButtonGroup::idClicked, this, &GeneratePassword::updateEnabling);

    // The shipped words go into an empty or missing words table before anything is drawn from it.
    ensureWords(m_store);
    ConfigStore config(m_store);
    UserRecord fresh = user;
    if (auto stored = Table<UserRecord>(m_store).fetch(QStringLiteral("U_:KeyName"), {user.name})) {
        fresh = *stored;
    }
    const GeneratorChoice c = m_generator.initialChoice(fresh, config);
    m_size->setValue(static_cast<int>(c.size));
    m_types->button(static_cast<int>(PasswordGenerator::types().indexOf(c.type)))->setChecked(true);
    if (const qsizetype j = PasswordGenerator::joints().indexOf(c.joint); j >= 0) {
        m_joints->button(static_cast<int>(j))->setChecked(true);
    }
    updateEnabling();
    place();
}

void GeneratePassword::updateEnabling() {
    const bool words = m_types->checkedId() == 1;
    m_size->setEnabled(!words);
    m_jointBox->setEnabled(words);
}

GeneratorChoice GeneratePassword::screenValues() const {
    GeneratorChoice c;
    c.size = m_size->value();
    c.type = m_types->checkedId() >= 0 ? PasswordGenerator::types().at(m_types->checkedId()) : QString();
    c.joint = m_joints->checkedId() >= 0 ? PasswordGenerator::joints().at(m_joints->checkedId()) : QString();
    return c;
}

bool GeneratePassword::make(const GeneratorChoice& c) {
    // When nothing can be made the password, its confirmation and the clipboard stay as they were.
    const auto password = m_generator.generate(c);
    if (!password) {
        return false;
    }
    m_entry.password = *password;
    m_entry.confirmPassword = *password;
    copyPassword(m_clipboard, *password);
    return true;
}

void GeneratePassword::ok() {
    const GeneratorChoice c = screenValues();
    if (c.size < 3 || c.size > 128) {
        m_size->setFocus();
        return;
    }
    if (c.type.isEmpty()) {
        m_types->buttons().first()->setFocus();
        return;
    }
    if (!make(c)) {
        return;
    }
    ConfigStore config(m_store);
    m_generator.remember(m_user, config, c);
    accept();
}

void GeneratePassword::fastGenerate() {
    GeneratorChoice c = screenValues();
    c.size = m_random.uniform(6, 12);
    c.type = QStringLiteral("Alphanumeric");
    if (make(c)) {
        accept();
    }
}

Calendar::~Calendar() {
    // Closing the dialog takes the focus from the month or year field, which would then report a finished
    // edit to a calendar that is already gone.
    QObject::disconnect(m_month, nullptr, this, nullptr);
    QObject::disconnect(m_year, nullptr, this, nullptr);
}

Calendar::Calendar(int32_t date, int32_t today, const QString& title, MessageService& messages,
                   WindowPositions* positions, QWidget* parent)
    : PlacedDialog(positions, QStringLiteral("Calendar"), parent), m_model(date, today), m_today(today),
      m_messages(messages), m_positions(positions), m_chosen(date) {
    setWindowTitle(title.isEmpty() ? QStringLiteral("Select Date") : title);
    m_heading = new QLabel(this);
    m_heading->setAlignment(Qt::AlignCenter);
    m_month = new QLineEdit(this);
    m_month->setValidator(new QIntValidator(0, 99, m_month));
    m_month->setAccessibleName(QStringLiteral("Month"));
    m_year = new QLineEdit(this);
    m_year->setValidator(new QIntValidator(0, 9999, m_year));
    m_year->setAccessibleName(QStringLiteral("Year"));
    auto step = [this](const QString& text, const QString& name, void (CalendarModel::*f)()) {
        auto* b = new QPushButton(text, this);
        b->setAccessibleName(name);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, f] {
            (m_model.*f)();
            showMonth();
        });
        return b;
    };
    auto* top = new QHBoxLayout;
    top->addWidget(step(QStringLiteral("<<"), QStringLiteral("Previous Year"), &CalendarModel::previousYear));
    top->addWidget(step(QStringLiteral("<"), QStringLiteral("Previous Month"), &CalendarModel::previousMonth));
    top->addWidget(new QLabel(QStringLiteral("Month:"), this));
    top->addWidget(m_month);
    top->addWidget(new QLabel(QStringLiteral("Year:"), this));
    top->addWidget(m_year);
    top->addWidget(step(QStringLiteral(">"), QStringLiteral("Next Month"), &CalendarModel::nextMonth));
    top->addWidget(step(QStringLiteral(">>"), QStringLiteral("Next Year"), &CalendarModel::nextYear));
    auto* grid = new QGridLayout;
    const QStringList days = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    for (int c = 0; c < 7; ++c) {
        grid->addWidget(new QLabel(days[c], this), 0, c, Qt::AlignCenter);
    }
    for (int i = 0; i < 42; ++i) {
        auto* b = new QPushButton(this);
        // Return in the month or year field takes the entry; it never picks a day.
        b->setAutoDefault(false);
        b->setFixedWidth(36);
        // An empty place keeps its room: the grid has six rows in every month, so the arrows above it
        // never move under the mouse.
        QSizePolicy policy = b->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        b->setSizePolicy(policy);
        m_buttons[static_cast<size_t>(i)] = b;
        grid->addWidget(b, 1 + i / 7, i % 7);
        connect(b, &QPushButton::clicked, this, [this, i] { chooseButton(i); });
    }
    auto* close = new QPushButton(QStringLiteral("Cl&ose"), this);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addLayout(top);
    layout->addLayout(grid);
    layout->addWidget(close, 0, Qt::AlignRight);
    connect(m_month, &QLineEdit::editingFinished, this, &Calendar::monthEntered);
    connect(m_year, &QLineEdit::editingFinished, this, &Calendar::yearEntered);
    m_month->installEventFilter(this);
    m_year->installEventFilter(this);
    showMonth();
    const int given = m_model.buttonOf(dateOf(date).isValid() ? dateOf(date).day() : dateOf(today).day());
    if (given >= 0) {
        m_buttons[static_cast<size_t>(given)]->setFocus();
    }
    place();
}

void Calendar::showMonth() {
    for (int i = 0; i < 42; ++i) {
        QPushButton* b = m_buttons[static_cast<size_t>(i)];
        const int day = m_model.days()[static_cast<size_t>(i)];
        b->setText(day ? QString::number(day) : QString());
        b->setVisible(day != 0);
        // Today in bold and underlined.
        const bool today = day != 0 && m_model.dateOfButton(i) == m_today;
        QFont font = b->font();
        font.setBold(today);
        font.setUnderline(today);
        b->setFont(font);
        b->setAccessibleDescription(today ? QStringLiteral("Today") : QString());
    }
    m_refused = nullptr;
    m_month->setText(QString::number(m_model.month()));
    m_year->setText(QString::number(m_model.year()));
    m_heading->setText(QLocale::system().standaloneMonthName(m_model.month()) + QLatin1Char(' ') +
                       QString::number(m_model.year()));
}

void Calendar::monthEntered() {
    QString error;
    if (!m_model.setMonth(m_month->text().toInt(), error)) {
        m_messages.show(QStringLiteral("Error Message"), error);
        m_refused = m_month;
        m_month->setFocus();
        return;
    }
    showMonth();
}

void Calendar::yearEntered() {
    QString error;
    if (!m_model.setYear(m_year->text().toInt(), error)) {
        m_messages.show(QStringLiteral("Error Message"), error);
        m_refused = m_year;
        m_year->setFocus();
        return;
    }
    showMonth();
}

bool Calendar::eventFilter(QObject* watched, QEvent* e) {
    // A refused month or year stays in its box to be put right; when the user leaves the box instead,
    // it shows the month and year shown again.
    if (e->type() == QEvent::FocusOut && watched == m_refused &&
        static_cast<QFocusEvent*>(e)->reason() != Qt::PopupFocusReason &&
        static_cast<QFocusEvent*>(e)->reason() != Qt::ActiveWindowFocusReason) {
        m_refused = nullptr;
        m_month->setText(QString::number(m_model.month()));
        m_year->setText(QString::number(m_model.year()));
    }
    return PlacedDialog::eventFilter(watched, e);
}

void Calendar::chooseButton(int index) {
    const int32_t date = m_model.dateOfButton(index);
    if (date == 0) {
        return;
    }
    if (m_model.needsConfirmation(date) &&
        m_messages.show(QStringLiteral("Confirm"),
                        QStringLiteral("You have selected a date earlier than today.  Do you wish to use this date?"),
                        Buttons::YesNo, Answer::No) != Answer::Yes) {
        return;
    }
    m_chosen = date;
    accept();
}

int32_t Calendar::pick(int32_t date, int32_t today, const QString& title, MessageService& messages,
                       WindowPositions* positions, QWidget* parent) {
    Calendar c(date, today, title, messages, positions, parent);
    return c.exec() == QDialog::Accepted ? c.chosen() : date;
}

} // namespace zendrel
