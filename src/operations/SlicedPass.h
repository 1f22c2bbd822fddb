#pragma once

#include "data/DataStore.h"

#include <memory>

namespace zendrel {

// A long pass over records in slices, the writes of each slice in one transaction of the table it writes,
// so that a progress window can drive it on its timer and stop it between slices; the command line runs the
// slices in a loop. What a committed slice wrote stays, whatever comes after it.
class SlicedPass {
public:
    static constexpr int kSliceRecords = 100;

    virtual ~SlicedPass();
    // One slice: up to `records` records, written in one transaction, or, once the slices before have filled
    // the written file's log, the log written back into the file as a slice of its own. False once the pass
    // is over (every record seen, cancelled, or stopped by a message that ends it).
    bool slice(int records);
    // One slice of as many records as fit in a few hundredths of a second, measured as the pass goes, so
    // that the window driving it answers at once.
    bool slice();
    // Ends the pass after the current record; what was written stays.
    void cancel() { m_over = true; }
    // Whether the pass stopped on a message that ends it (a failed write of a whole slice, say).
    bool stopped() const { return m_stopped; }

protected:
    // The store and table whose transaction a slice's writes share; nothing when there is nothing (left)
    // to write to.
    virtual DataStore* batchStore() = 0;
    virtual const TableDef& written() const = 0;
    // The records of one slice, inside the transaction.
    virtual void process(int records) = 0;
    // Whether a slice's commit must be on the disk before committed() runs (a power failure just after it
    // would otherwise lose it, while what committed() wrote elsewhere stays).
    virtual bool durableSlices() const { return false; }
    // After the slice's transaction has committed.
    virtual void committed() {}
    // The slice's transaction failed to commit (`atCommit`) or the store failed in the middle of it: nothing
    // of the slice was kept, and the pass stops.
    virtual void failed(const QString& errorText, bool atCommit) = 0;

    // Gives the written file's log back to the store's own write-backs; a pass whose store goes before it
    // calls this first, since the write-back's hook lives on that store's connection.
    void endCheckpoints() { m_checkpoints.reset(); }

    bool m_over = false;
    bool m_stopped = false;
    int m_records = kSliceRecords;

private:
    std::unique_ptr<DataStore::DeferredCheckpoints> m_checkpoints;
    bool m_wroteBack = false;  // the last slice wrote the log back
};

} // namespace zendrel
