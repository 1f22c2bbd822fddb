#include "shell/Options.h"

#include "base/DatePicture.h"
#include "framework/StoredValueSpinBox.h"
#include "operations/ReportPainter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zendrel {

namespace {

const QString kProcedure = QStringLiteral("Options");

QCheckBox* checkBox(const QString& caption, const QString& tip, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setToolTip(tip);
    box->setAccessibleName(caption);
    return box;
}

StoredValueSpinBox* spin(QFormLayout* form, const QString& caption, int64_t low, int64_t high, const QString& tip) {
    auto* box = new StoredValueSpinBox(low, high);
    box->setToolTip(tip);
    QString name = caption;
    name.chop(1);  // without its colon
    box->setAccessibleName(name);
    auto* label = new QLabel(caption);
    label->setBuddy(box);
    form->addRow(label, box);
    return box;
}

} // namespace

const QList<QPair<QString, QColor>>& SelectReportFont::colours() {
    static const QList<QPair<QString, QColor>> list = {
        {QStringLiteral("Black"), QColor(0, 0, 0)},         {QStringLiteral("Maroon"), QColor(128, 0, 0)},
        {QStringLiteral("Green"), QColor(0, 128, 0)},       {QStringLiteral("Olive"), QColor(128, 128, 0)},
        {QStringLiteral("Navy"), QColor(0, 0, 128)},        {QStringLiteral("Purple"), QColor(128, 0, 128)},
        {QStringLiteral("Teal"), QColor(0, 128, 128)},      {QStringLiteral("Gray"), QColor(128, 128, 128)},
        {QStringLiteral("Silver"), QColor(192, 192, 192)},  {QStringLiteral("Red"), QColor(255, 0, 0)},
        {QStringLiteral("Lime"), QColor(0, 255, 0)},        {QStringLiteral("Yellow"), QColor(255, 255, 0)},
        {QStringLiteral("Blue"), QColor(0, 0, 255)},        {QStringLiteral("Fuchsia"), QColor(255, 0, 255)},
        {QStringLiteral("Aqua"), QColor(0, 255, 255)},      {QStringLiteral("White"), QColor(255, 255, 255)},
    };
    return list;
}

SelectReportFont::SelectReportFont(const QFont& font, const QColor& colour, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Select Font..."));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    // The toolkit's font chooser, inside this dialog, with the colour beside it.
    m_fonts = new QFontDialog(this);
    m_fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    m_fonts->setWindowFlags(Qt::Widget);
    m_fonts->setCurrentFont(font);
    layout->addWidget(m_fonts);

    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("&Colour:"), this);
    m_colour = new QComboBox(this);
    m_colour->setAccessibleName(QStringLiteral("Colour"));
    label->setBuddy(m_colour);
    for (const auto& [name, c] : colours()) {
        QPixmap swatch(16, 16);
        swatch.fill(c);
        m_colour->addItem(QIcon(swatch), name, c);
    }
    int index = m_colour->findData(colour);
    if (index < 0) {
        // A colour of its own, kept as it is.
        QPixmap swatch(16, 16);
        swatch.fill(colour);
        m_colour->addItem(QIcon(swatch), colour.name(), colour);
        index = m_colour->count() - 1;
    }
    m_colour->setCurrentIndex(index);
    row->addWidget(label);
    row->addWidget(m_colour, 1);
    layout->addLayout(row);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&Ok"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QFont SelectReportFont::chosenFont() const {
    return m_fonts->currentFont();
}

QColor SelectReportFont::chosenColour() const {
    return m_colour->currentData().value<QColor>();
}

QFont Options::fontOf(const ReportFont::Texts& texts, const QFont& base, QColor* colour) {
    return reportFontOf(texts, base, colour);
}

Options::Options(OptionsOperations& operations, Settings& program, WindowPositions* positions, QWidget* parent)
    : PlacedDialog(positions, kProcedure, parent), m_ops(operations), m_program(program) {
    setWindowTitle(QStringLiteral("Zendrel Options"));
    setAccessibleName(windowTitle());
    setObjectName(kProcedure);
    auto* tabs = new QTabWidget(this);
    tabs->setAccessibleName(QStringLiteral("Options"));

    auto* preferences = new QWidget;
    auto* prefLayout = new QVBoxLayout(preferences);
    m_skip = checkBox(QStringLiteral("Skip Copy/Paste Buttons when tabbing through password form"),
                      QStringLiteral("Copy/paste buttons in tab sequence?"), preferences);
    m_hideClipboard = checkBox(QStringLiteral("Hide Clipboard Contents"),
                               QStringLiteral("Hide clipboard display on passwords windows"), preferences);
    prefLayout->addWidget(m_skip);
    prefLayout->addWidget(m_hideClipboard);
    prefLayout->addStretch();
    tabs->addTab(preferences, QStringLiteral("Preferences"));

    auto* security = new QWidget;
    auto* secLayout = new QFormLayout(security);
    m_clearSeconds = spin(secLayout, QStringLiteral("Clear clipboard contents after how many seconds:"), 0, 9999,
                          QStringLiteral("Enter # of seconds or 0 to disable"));
    m_inactivity = spin(secLayout, QStringLiteral("Close after how many minutes of inactivity:"), 0, 120,
                        QStringLiteral("Enter # of minutes or 0 to disable"));
    tabs->addTab(security, QStringLiteral("Security"));

    auto* sending = new QWidget;
    auto* sendLayout = new QFormLayout(sending);
    m_interval = spin(sendLayout, QStringLiteral("Send Interval (1/100ths of a second):"), 25, 250, {});
    m_groupSize = spin(sendLayout, QStringLiteral("Maximum Number of Characters per Send Group:"), 1, 10, {});
    m_monitorActive = checkBox(QStringLiteral("Monitor Active at Startup"), {}, sending);
    sendLayout->addRow(m_monitorActive);
    tabs->addTab(sending, QStringLiteral("Send to Other Applications"));

    auto* reports = new QWidget;
    auto* repLayout = new QVBoxLayout(reports);
    auto* dateRow = new QFormLayout;
    m_dateFormat = new QComboBox(reports);
    m_dateFormat->setAccessibleName(QStringLiteral("Date Format"));
    for (const auto& choice : dateFormatChoices()) {
        m_dateFormat->addItem(choice.first);
    }
    auto* dateLabel = new QLabel(QStringLiteral("Date Format:"), reports);
    dateLabel->setBuddy(m_dateFormat);
    dateRow->addRow(dateLabel, m_dateFormat);
    repLayout->addLayout(dateRow);
    auto* fontButton = new QPushButton(QStringLiteral("Select Report Font"), reports);
    fontButton->setAutoDefault(false);
    connect(fontButton, &QPushButton::clicked, this, &Options::selectReportFont);
    repLayout->addWidget(fontButton, 0, Qt::AlignLeft);
    m_sample = new QLabel(QStringLiteral("Sample Text"), reports);
    m_sample->setAccessibleName(QStringLiteral("Sample Text"));
    m_sample->setFrameShape(QFrame::StyledPanel);
    m_sample->setAlignment(Qt::AlignCenter);
    m_sample->setMinimumHeight(60);
    repLayout->addWidget(m_sample);
    repLayout->addStretch();
    tabs->addTab(reports, QStringLiteral("Reports"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &Options::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);

    // The font and the date code as the program holds them, then the store's values with their corrections.
    m_values = m_ops.open(m_program);
    const int date = m_dateFormat->findText(m_values.dateChoice);
    if (date >= 0) {
        m_dateFormat->setCurrentIndex(date);
    } else {
        // A code the list does not know is shown as it is, and kept unless another entry is chosen.
        m_dateFormat->setPlaceholderText(m_values.dateChoice);
        m_dateFormat->setCurrentIndex(-1);
    }
    m_skip->setChecked(m_values.skip.value != 0);
    m_clearSeconds->setValue(m_values.clearSeconds.value);
    m_inactivity->setValue(m_values.inactivityMinutes.value);
    m_hideClipboard->setChecked(m_values.hideClipboard.value != 0);
    m_interval->setValue(m_values.sendInterval.value);
    m_groupSize->setValue(m_values.groupSize.value);
    m_monitorActive->setChecked(m_values.monitorActive.value != 0);
    showSample();
    place();
}

void Options::collect() {
    m_values.skip.setFlag(m_skip->isChecked());
    m_values.clearSeconds.value = m_clearSeconds->value();
    m_values.inactivityMinutes.value = m_inactivity->value();
    m_values.hideClipboard.setFlag(m_hideClipboard->isChecked());
    m_values.sendInterval.value = m_interval->value();
    m_values.groupSize.value = m_groupSize->value();
    m_values.monitorActive.setFlag(m_monitorActive->isChecked());
    m_values.dateChoice = m_dateFormat->currentIndex() >= 0 ? m_dateFormat->currentText() : m_values.dateChoice;
}

void Options::showSample() {
    QColor colour = palette().color(QPalette::WindowText);
    m_sample->setFont(fontOf(m_values.font, font(), &colour));
    QPalette p = m_sample->palette();
    p.setColor(QPalette::WindowText, colour);
    m_sample->setPalette(p);
}

void Options::selectReportFont() {
    collect();
    QColor colour = palette().color(QPalette::WindowText);
    const QFont current = fontOf(m_values.font, font(), &colour);
    SelectReportFont dialog(current, colour, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const QFont f = dialog.chosenFont();
    const int size = f.pointSize() > 0 ? f.pointSize() : qRound(f.pointSizeF());
    m_values.font = ReportFont::texts(f.family(), size, dialog.chosenColour().rgb() & 0xFFFFFF,
                                      ReportFont::Style{f.weight(), f.italic(), f.underline(), f.strikeOut()});
    showSample();
}

void Options::accept() {
    collect();
    m_ops.accept(m_values, m_program);
    PlacedDialog::accept();
}

} // namespace zendrel
