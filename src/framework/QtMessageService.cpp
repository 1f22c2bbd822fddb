#include "framework/QtMessageService.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

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

} // namespace

Answer QtMessageService::show(const Message& m) {
    QWidget* parent = m_parent ? m_parent : QApplication::activeWindow();
    QMessageBox box(parent);
    box.setWindowTitle(m.title);
    box.setText(QString(m.text).replace(QLatin1Char('|'), QLatin1Char('\n')));
    box.setIcon(m.buttons == Buttons::Ok ? QMessageBox::Information : QMessageBox::Question);
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
