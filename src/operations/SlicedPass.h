#pragma once

#include "data/DataStore.h"

namespace zendrel {

// A long pass over records in slices, the writes of each slice in one transaction of the table it writes,
// so that a progress window can drive it on its timer and stop it between slices; the command line runs the
// slices in a loop. What a committed slice wrote stays, whatever comes after it.
class SlicedPass {
public:
    static constexpr int kSliceRecords = 100;

    virtual ~SlicedPass();
    // One slice: up to `records` records, written in one transaction. False once the pass is over (every
    // record seen, cancelled, or stopped by a message that ends it).
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

    bool m_over = false;
    bool m_stopped = false;
    int m_records = kSliceRecords;
};

} // namespace zendrel
