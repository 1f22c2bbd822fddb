#include "framework/ListSelection.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>

namespace zendrel {

void followSelectionWithCurrentRow(QAbstractItemView* view) {
    QItemSelectionModel* selection = view->selectionModel();
    QObject::connect(selection, &QItemSelectionModel::selectionChanged, view, [selection] {
        const QModelIndexList rows = selection->selectedRows();
        if (rows.size() == 1 && rows.first().row() != selection->currentIndex().row()) {
            selection->setCurrentIndex(rows.first(), QItemSelectionModel::NoUpdate);
        }
    });
}

} // namespace zendrel
