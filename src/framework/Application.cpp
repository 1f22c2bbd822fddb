#include "framework/Application.h"

#include "data/Database.h"
#include "data/StoreMessages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cstdio>

static void initIconResource() {
    Q_INIT_RESOURCE(zendrel_data);
}

namespace zendrel {

namespace {

// A plain padlock, for when the drawing cannot be read.
QPixmap drawnPadlock(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x23, 0x63, 0x93));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 13, 13);
    QPainterPath shackle;
    shackle.moveTo(21, 30);
    shackle.lineTo(21, 22);
    shackle.arcTo(QRectF(21, 11, 22, 22), 180, -180);
    shackle.lineTo(43, 30);
    p.setPen(QPen(QColor(0xee, 0xf3, 0xf7), 6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shackle);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf4, 0xbb, 0x3a));
    p.drawRoundedRect(QRectF(14, 28, 36, 27), 5, 5);
    p.setBrush(QColor(0x17, 0x48, 0x6e));
    p.drawEllipse(QPointF(32, 38.5), 4.5, 4.5);
    p.drawRect(QRectF(30, 40, 4, 9));
    return pixmap;
}

} // namespace

QIcon applicationIcon(const QString& svg) {
    initIconResource();
    QIcon icon(svg.isEmpty() ? QStringLiteral(":/zendrel/icons/zendrel.svg") : svg);
    if (!icon.pixmap(QSize(32, 32)).isNull()) {
        return icon;
    }
    QIcon drawn;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        drawn.addPixmap(drawnPadlock(size));
    }
    return drawn;
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setWindowIcon(applicationIcon());
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const StoreError& e) {
        const QString text = QStringLiteral("The data files could not be read or written:|") + e.errorText() +
                             (e.detail().isEmpty() ? QString() : QStringLiteral("|") + e.detail());
        std::fprintf(stderr, "zendrel: %s\n", qPrintable(text));
        // A message box runs events of its own; a failure among them is not reported again on top of it.
        if (m_messages && !m_reporting) {
            m_reporting = true;
            m_messages->show(Message{storeMessages::fileAccessTitle(), text, Buttons::Ok, Answer::Ok, true});
            m_reporting = false;
        }
        return false;
    }
}

} // namespace zendrel
