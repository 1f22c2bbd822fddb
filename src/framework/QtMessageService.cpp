#include "framework/QtMessageService.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QStyle>

namespace zendrel {

namespace {

QMessageBox::StandardButton standard(Answer a) {
    switch (a) {
    case Answer::Ok:
        return QMessageBox::Ok;
    case Answer::Yes:
        return QMessageBox::Yes;
    case Answer::No:
        return QMessageBox::No;
    case Answer::Cancel:
        return QMessageBox::Cancel;
    case Answer::Retry:
        return QMessageBox::Retry;
    case Answer::Abort:
        return QMessageBox::Abort;
    case Answer::Ignore:
        return QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

QList<Answer> answersOf(Buttons b) {
    switch (b) {
    case Buttons::Ok:
        return {Answer::Ok};
    case Buttons::YesNo:
        return {Answer::Yes, Answer::No};
    case Buttons::YesNoCancel:
        return {Answer::Yes, Answer::No, Answer::Cancel};
    case Buttons::RetryCancel:
        return {Answer::Retry, Answer::Cancel};
    case Buttons::RetryAbort:
        return {Answer::Retry, Answer::Abort};
    case Buttons::YesNoIgnore:
        return {Answer::Yes, Answer::No, Answer::Ignore};
    }
    return {Answer::Ok};
}

QMessageBox::Icon iconOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Fatal:
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Question:
        return QMessageBox::Question;
    case MessageKind::Notice:
        return QMessageBox::Information;
    }
    return QMessageBox::Information;
}

// The width a box needs so that the window manager can show its whole title beside the title bar's
// own icon and buttons.
int titleWidth(const QMessageBox& box, const QString& title) {
    const QFontMetrics metrics(QFontDatabase::systemFont(QFontDatabase::TitleFont));
    const int bar = box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
    return metrics.horizontalAdvance(title) + 5 * std::max(bar, metrics.height() + 8);
}

} // namespace

Answer QtMessageService::show(const Message& m) {
    QWidget* parent = m_parent ? m_parent : QApplication::activeWindow();
    QMessageBox box(parent);
    box.setWindowTitle(m.title);
    box.setText(QString(m.text).replace(QLatin1Char('|'), QLatin1Char('\n')));
    box.setIcon(iconOf(messageKind(m)));
    // A message box takes the width of its text; a spacer across the bottom makes room for the title.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(titleWidth(box, m.title), 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    const QList<Answer> answers = answersOf(m.buttons);
    for (Answer a : answers) {
        QAbstractButton* b = box.addButton(standard(a));
        b->setAccessibleName(b->text().remove(QLatin1Char('&')));
        if (a == m.defaultAnswer) {
            box.setDefaultButton(standard(a));
        }
    }
    if (m.beep) {
        QApplication::beep();
    }
    const int result = box.exec();
    for (Answer a : answers) {
        if (result == standard(a)) {
            return a;
        }
    }
    // Closed with the window's close box: the last button (No, Cancel) or OK.
    return answers.contains(Answer::Cancel) ? Answer::Cancel : answers.last();
}

} // namespace zendrel
