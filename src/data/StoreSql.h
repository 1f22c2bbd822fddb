#pragma once

#include "data/Schema.h"

#include <QString>
#include <vector>

namespace zendrel {

// Where a positioned read starts and stops, in a key's order.
struct KeyRange {
    std::vector<Value> prefix;  // leading key components held equal (the user of a list)
    std::vector<Value> from;    // components after the prefix to start at (may be partial)
    int64_t fromRowId = 0;      // with a full `from`: the record at that position
    bool fromExclusive = false; // start behind the position instead of at it
    std::vector<Value> to;      // components after the prefix to stop at, inclusive (may be partial)
    bool backward = false;
    int limit = -1;
    int64_t offset = 0; // records skipped before the first one returned
};

// Text cut to a field's width without its trailing blanks, as the store keeps it.
QString fitText(const QString& s, int width);

// The SQL of the store, built from the table definitions alone: pure text, tested without a file.
namespace sql {

// A statement with the values its "?" marks take, in order.
struct Query {
    QString text;
    std::vector<Value> binds;
};

QString quoted(const QString& name);
// The index that keeps a key: the table's name and the key's name after its prefix.
QString indexName(const TableDef& t, const KeyDef& k);
// A primary key on the record number alone needs no index of its own.
bool isRowIdKey(const TableDef& t, const KeyDef& k);
// The condition that leaves a record out of a key when all its components are blank or zero.
QString presentCondition(const TableDef& t, const KeyDef& k);
QString columnList(const TableDef& t);
QString createTable(const TableDef& t);
QString createIndex(const TableDef& t, const KeyDef& k);
// The record number and every column, in the table's field order.
QString select(const TableDef& t);
QString insert(const TableDef& t);
// One row when a record number is in use.
QString rowIdTaken(const TableDef& t);

// The records of a key range in the key's order, through its index, with its limit and offset.
Query readRange(const TableDef& t, const KeyDef& k, const KeyRange& range);
// How many records a range holds, its limit and offset aside.
Query countRange(const TableDef& t, const KeyDef& k, const KeyRange& range);
// How many records hold these leading components.
Query countPrefix(const TableDef& t, const KeyDef& k, const std::vector<Value>& prefix);
// Records in the order they were stored, after (or before) a record number.
Query readPhysical(const TableDef& t, int64_t afterRowId, int limit, bool backward);

} // namespace sql
} // namespace zendrel
