#include "shell/AboutWindow.h"

#include "entries/TipWindows.h"
#include "session/ConfigStore.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zendrel {

AboutWindow::AboutWindow(DataStore& store, MessageService& messages, WindowPositions* positions, QWidget* parent)
    : PlacedDialog(positions, QStringLiteral("About"), parent) {
    setWindowTitle(QStringLiteral("About Zendrel"));
    setAccessibleName(windowTitle());
    auto* title = new QLabel(QStringLiteral("Zendrel %1").arg(QString::fromLatin1(kProgramVersion)), this);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    title->setFont(big);
    auto* what = new QLabel(QStringLiteral("A password manager that keeps its users' passwords in enciphered tables "
                                           "and types them into other programs' windows."),
                            this);
    what->setWordWrap(true);
    auto* box = new QGroupBox(QStringLiteral("Tips"), this);
    m_tips = new TipPanel(store, messages, positions, box);
    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->addWidget(m_tips);
    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(what);
    layout->addWidget(box, 1);
    layout->addWidget(ok, 0, Qt::AlignRight);
    resize(460, 360);
    place();
}

} // namespace zendrel
