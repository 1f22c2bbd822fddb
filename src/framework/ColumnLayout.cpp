#include "framework/ColumnLayout.h"

#include "framework/WindowPositions.h"

#include <QHeaderView>

namespace zendrel {

namespace {

QString designedKey(const QString& listName) {
    return QStringLiteral("SRCFOriginal") + listName;
}

QString userKey(const QString& listName) {
    return QStringLiteral("SRCF") + listName;
}

} // namespace

void restoreColumns(QHeaderView* header, WindowPositions& positions, const QString& procedure,
                    const QString& listName) {
    if (header == nullptr) {
        return;
    }
    const QByteArray design = header->saveState();
    if (positions.value(procedure, designedKey(listName)) != design) {
        positions.setValue(procedure, designedKey(listName), design);
        // Removed rather than only skipped, so that a program ending before the window closes cannot
        // bring the old layout back over the new design next time.
        positions.remove(procedure, userKey(listName));
        return;
    }
    const QByteArray user = positions.value(procedure, userKey(listName));
    if (!user.isEmpty() && !header->restoreState(user)) {
        // A damaged layout must not leave the list half restored.
        header->restoreState(design);
    }
}

void saveColumns(const QHeaderView* header, WindowPositions& positions, const QString& procedure,
                 const QString& listName) {
    if (header == nullptr) {
        return;
    }
    positions.setValue(procedure, userKey(listName), header->saveState());
}

void keepHeaderTextsWhole(QHeaderView* header) {
    if (header == nullptr) {
        return;
    }
    auto widen = [header](int section) {
        const int least = header->sectionSizeHint(section);
        if (header->sectionSize(section) < least && !header->isSectionHidden(section)) {
            header->resizeSection(section, least);
        }
    };
    for (int section = 0; section < header->count(); ++section) {
        widen(section);
    }
    QObject::connect(header, &QHeaderView::sectionResized, header, [widen](int section, int, int) { widen(section); });
}

} // namespace zendrel
