#include "entries/InfoWindows.h"

#include "base/Files.h"

#include "base/Dates.h"
#include "base/DatePicture.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

static void initKeyNamesResource() {
    Q_INIT_RESOURCE(zendrel_data);
}

namespace zendrel {

DisplayAll::DisplayAll(const PasswordRecord& e, const QString& datePicture, WindowPositions* positions,
                       QWidget* parent)
    : PlacedDialog(positions, QStringLiteral("DisplayAll"), parent) {
    setWindowTitle(QStringLiteral("Display All Information"));
    auto* form = new QFormLayout;
    auto line = [this, form](const QString& prompt, const QString& value, const QString& tip) {
        auto* f = new QLineEdit(value, this);
        f->setReadOnly(true);
        f->setToolTip(tip);
        f->setAccessibleName(tip);
        form->addRow(prompt, f);
    };
    auto box = [this, form](const QString& prompt, const QString& value, const QString& tip) {
        auto* f = new QPlainTextEdit(value, this);
        f->setReadOnly(true);
        f->setToolTip(tip);
        f->setAccessibleName(tip);
        f->setMaximumHeight(80);
        form->addRow(prompt, f);
    };
    line(QStringLiteral("User:"), e.user.left(120), QStringLiteral("User"));
    line(QStringLiteral("&Service:"), e.service.left(30), QStringLiteral("Service"));
    line(QStringLiteral("&Name:"), e.name, QStringLiteral("Name used on this service"));
    line(QStringLiteral("&Password:"), e.password, QStringLiteral("Password used on this service"));
    box(QStringLiteral("&Notes:"), e.notes, QStringLiteral("Notes"));
    box(QStringLiteral("&More Notes:"), e.moreNotes, QStringLiteral("More Notes"));
    line(QStringLiteral("Send Text:"), e.paste.left(width::kPaste), QStringLiteral("What to send to other application"));
    line(QStringLiteral("Window:"), e.windowTitleToLocate, QStringLiteral("Window Title to Locate for automatic send"));
    line(QString(), e.url.left(90), QStringLiteral("Internet Address"));
    line(QStringLiteral("Seconds To Wait:"), QString::number(e.secondsToWait),
         QStringLiteral("Seconds before start of automatic send to"));
    line(QStringLiteral("Repeat Interval:"), QString::number(e.doNotRepeatSeconds),
         QStringLiteral("Do not repeat automatic send to other app"));
    line(QStringLiteral("Last Change Date:"), formatDate(e.lastChangeDate, replaceDatePictures(QStringLiteral("@d4"), datePicture)),
         QStringLiteral("Date this record was last changed"));
    line(QStringLiteral("Last Change Time:"), e.lastChangeDate || e.lastChangeTime ? shortTime(e.lastChangeTime) : QString(),
         QStringLiteral("Time this record was last changed"));
    auto* monitor = new QCheckBox(QStringLiteral("Monitor"), this);
    monitor->setChecked(e.monitor != 0);
    monitor->setEnabled(false);
    monitor->setToolTip(QStringLiteral("Monitor for automatic send to other appli"));
    form->addRow(monitor);
    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(ok, 0, Qt::AlignRight);
    place();
}

SelectKeys::SelectKeys(const QString& dataDirectory, WindowPositions* positions, QWidget* parent)
    : PlacedDialog(positions, QStringLiteral("SelectKeys"), parent) {
    setWindowTitle(QStringLiteral("Key Names"));
    QFile own(QDir(dataDirectory).filePath(QStringLiteral("KEYCODES.TXT")));
    if (isRegularFile(own.fileName()) && own.open(QIODevice::ReadOnly)) {
        m_text = QString::fromUtf8(own.read(1 << 20));
    } else {
        initKeyNamesResource();
        QFile shipped(QStringLiteral(":/zendrel/KEYCODES.TXT"));
        if (shipped.open(QIODevice::ReadOnly)) {
            m_text = QString::fromUtf8(shipped.readAll());
        }
    }
    auto* view = new QPlainTextEdit(m_text, this);
    view->setReadOnly(true);
    view->setAccessibleName(QStringLiteral("Key names"));
    view->setFont(QFont(QStringLiteral("Monospace")));
    view->setMinimumSize(560, 420);
    auto* close = new QPushButton(QStringLiteral("Cl&ose"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view);
    layout->addWidget(close, 0, Qt::AlignRight);
    place();
}

} // namespace zendrel
