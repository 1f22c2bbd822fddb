#define SQLITE_HAS_CODEC 1
#include "data/StoreFiles.h"

#include <sqlcipher/sqlite3.h>

// The relations between tables: a rename of a parent carried to its children, a delete cascaded or refused,
// all in the parent's transaction.
namespace zendrel {

using namespace sql;

std::vector<std::unique_ptr<Transaction>> DataStore::openChildren(const TableDef& t, File& f) {
    // Children are opened (created when missing) before the write begins, and a child kept in another
    // file writes under a transaction of its own that commits together with the parent's.
    std::vector<std::unique_ptr<Transaction>> out;
    for (const auto& rel : tables::relations()) {
        if (rel.parent != &t) {
            continue;
        }
        File& cf = ensureOpen(*rel.child);
        if (&cf != &f) {
            out.push_back(std::make_unique<Transaction>(*cf.conn));
        }
    }
    return out;
}

WriteResult DataStore::writeRelations(const TableDef& t, Connection& c, const Row& oldRow, const Row& newRow,
                                      bool deleting) {
    for (const auto& rel : tables::relations()) {
        if (rel.parent != &t) {
            continue;
        }
        const Value& oldLink = oldRow[static_cast<size_t>(rel.parentField)];
        const TableDef& child = *rel.child;
        const QString childCol = quoted(child.fields[static_cast<size_t>(rel.childField)].column);
        File& cf = fileOf(child);
        Connection& cc = cf.conn ? *cf.conn : c;
        if (deleting) {
            if (rel.onDelete == RelationAction::Restrict) {
                Statement& s = cc.prepare(QStringLiteral("SELECT 1 FROM ") + quoted(child.tableName) +
                                          QStringLiteral(" WHERE ") + childCol + QStringLiteral(" = ? LIMIT 1"));
                s.bind(1, oldLink);
                const bool referenced = s.step();
                s.reset();
                if (referenced) {
                    WriteResult res{WriteResult::Refused, QStringLiteral("Referential Integrity Delete Error"),
                                    QStringLiteral("This record is referenced from the file %1. This record cannot be "
                                                   "deleted while these references exist.")
                                        .arg(displayName(child))};
                    return res;
                }
            } else if (rel.onDelete == RelationAction::Cascade) {
                Statement& s = cc.prepare(QStringLiteral("DELETE FROM ") + quoted(child.tableName) +
                                          QStringLiteral(" WHERE ") + childCol + QStringLiteral(" = ?"));
                s.bind(1, oldLink);
                s.run();
            }
        } else if (rel.onChange == RelationAction::Cascade) {
            const Value& newLink = newRow[static_cast<size_t>(rel.parentField)];
            if (oldLink != newLink) {
                Statement& s =
                    cc.prepare(QStringLiteral("UPDATE ") + quoted(child.tableName) + QStringLiteral(" SET ") +
                               childCol + QStringLiteral(" = ? WHERE ") + childCol + QStringLiteral(" = ?"));
                s.bind(1, newLink);
                s.bind(2, oldLink);
                s.run();
            }
        }
    }
    return {};
}

} // namespace zendrel
