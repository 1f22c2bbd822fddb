#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace zendrel::test {

// Acts on the modal window that opens next, once it is shown. One that has not come within 20 seconds fails
// the test instead of leaving it waiting for the test runner's time-out.
inline void whenModal(std::function<void(QWidget*)> act, qint64 since = -1) {
    static QElapsedTimer clock;
    if (!clock.isValid()) {
        clock.start();
    }
    if (since < 0) {
        since = clock.elapsed();
    }
    QTimer::singleShot(0, [act, since] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) {
            if (clock.elapsed() - since > 20000) {
                ADD_FAILURE() << "the expected window never opened";
                return;
            }
            whenModal(act, since);
            return;
        }
        act(w);
    });
}

// Lets events arrive until `done` holds or `ms` milliseconds pass.
template <class F> bool waitFor(F done, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

// The push button of a window with the given caption.
inline QPushButton* button(QWidget* w, const QString& text) {
    for (auto* b : w->findChildren<QPushButton*>()) {
        if (b->text() == text) {
            return b;
        }
    }
    return nullptr;
}

// The child of a window of the given type with the given accessible name (or button text).
template <class T> T* named(QWidget* w, const QString& name) {
    for (auto* c : w->findChildren<T*>()) {
        if (c->accessibleName() == name) {
            return c;
        }
    }
    return nullptr;
}

} // namespace zendrel::test
