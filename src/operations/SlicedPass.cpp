#include "operations/SlicedPass.h"

#include <QElapsedTimer>
#include <algorithm>

namespace zendrel {

SlicedPass::~SlicedPass() = default;

bool SlicedPass::slice(int records) {
    DataStore* store = m_over ? nullptr : batchStore();
    if (!store) {
        return false;
    }
    try {
        if (!m_checkpoints) {
            m_checkpoints = std::make_unique<DataStore::DeferredCheckpoints>(*store, written());
        } else if (!m_wroteBack && m_checkpoints->due()) {
            // Never two write-backs in a row: one that cannot run (a full disk) would otherwise come back
            // on every slice, and the pass would never reach its records again.
            m_checkpoints->run();
            m_wroteBack = true;
            return !m_over;
        }
        m_wroteBack = false;
        DataStore::Batch batch(*store, written(),
                               durableSlices() ? DataStore::Batch::Sync::Durable : DataStore::Batch::Sync::Normal);
        process(std::max(records, 1));
        if (const QString err = batch.commit(); !err.isEmpty()) {
            failed(err, true);
            m_stopped = true;
            m_over = true;
            return false;
        }
    } catch (const StoreError& e) {
        // A page that cannot be read or a file that cannot be written: what the slice did is undone.
        failed(e.errorText(), false);
        m_stopped = true;
        m_over = true;
        return false;
    } catch (const ProgramEnded&) {
        m_stopped = true;
        m_over = true;
        return false;
    }
    committed();
    return !m_over;
}

bool SlicedPass::slice() {
    QElapsedTimer took;
    took.start();
    const bool more = slice(m_records);
    if (m_wroteBack) {
        return more;  // says nothing of how long records take
    }
    if (took.elapsed() > 30) {
        m_records = std::max(1, m_records / 2);
    } else if (took.elapsed() < 10) {
        m_records = std::min(2000, m_records * 2);
    }
    return more;
}

} // namespace zendrel
