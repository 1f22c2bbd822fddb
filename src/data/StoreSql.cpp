#include "data/StoreSql.h"

#include "data/Database.h"

#include <map>
#include <mutex>

namespace zendrel {

QString fitText(const QString& s, int width) {
    qsizetype n = s.size();
    if (width > 0 && n > width) {
        n = width;
        // Never split a character made of two UTF-16 units.
        if (s.at(n - 1).isHighSurrogate()) {
            --n;
        }
    }
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) {
        --n;
    }
    return n == s.size() ? s : s.left(n);
}

namespace sql {

QString quoted(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString indexName(const TableDef& t, const KeyDef& k) {
    return t.tableName + QLatin1Char('_') + k.name.mid(k.name.indexOf(QLatin1Char(':')) + 1);
}

bool isRowIdKey(const TableDef& t, const KeyDef& k) {
    return k.kind == KeyKind::Primary && k.fields.size() == 1 && k.fields[0] == t.rowIdField;
}

QString presentCondition(const TableDef& t, const KeyDef& k) {
    QStringList parts;
    for (int f : k.fields) {
        const FieldDef& fd = t.fields[static_cast<size_t>(f)];
        parts << quoted(fd.column) + (fd.isText() ? QStringLiteral(" = ''") : QStringLiteral(" = 0"));
    }
    return QStringLiteral("NOT (") + parts.join(QStringLiteral(" AND ")) + QLatin1Char(')');
}

QString columnList(const TableDef& t) {
    QStringList cols;
    for (const auto& f : t.fields) {
        cols << quoted(f.column);
    }
    return cols.join(QStringLiteral(", "));
}

QString createTable(const TableDef& t) {
    QStringList cols;
    for (size_t i = 0; i < t.fields.size(); ++i) {
        const FieldDef& f = t.fields[i];
        QString c = quoted(f.column);
        if (static_cast<int>(i) == t.rowIdField) {
            c += QStringLiteral(" INTEGER PRIMARY KEY");
        } else if (f.isText()) {
            c += QStringLiteral(" TEXT NOT NULL DEFAULT '' COLLATE ") + QLatin1String(kCollation);
        } else if (f.type == FieldType::Blob) {
            c += QStringLiteral(" BLOB NOT NULL DEFAULT x''");
        } else {
            c += QStringLiteral(" INTEGER NOT NULL DEFAULT 0");
        }
        cols << c;
    }
    return QStringLiteral("CREATE TABLE ") + quoted(t.tableName) + QStringLiteral(" (") +
           cols.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString createIndex(const TableDef& t, const KeyDef& k) {
    QStringList cols;
    for (int f : k.fields) {
        cols << quoted(t.fields[static_cast<size_t>(f)].column);
    }
    QString sql = QStringLiteral("CREATE ") + (k.unique() ? QStringLiteral("UNIQUE ") : QString()) +
                  QStringLiteral("INDEX ") + quoted(indexName(t, k)) + QStringLiteral(" ON ") + quoted(t.tableName) +
                  QStringLiteral(" (") + cols.join(QStringLiteral(", ")) + QLatin1Char(')');
    if (!k.includeEmpty) {
        sql += QStringLiteral(" WHERE ") + presentCondition(t, k);
    }
    return sql;
}

namespace {

// Statements that depend on the table alone, built once per table: every record written or read by position
// asks for one.
using Builder = QString (*)(const TableDef&);

QString once(const TableDef& t, Builder make) {
    static std::mutex mutex;
    static std::map<std::pair<const TableDef*, Builder>, QString> built;
    const std::lock_guard lock(mutex);
    auto [it, added] = built.try_emplace({&t, make});
    if (added) {
        it->second = make(t);
    }
    return it->second;
}

QString buildSelect(const TableDef& t) {
    return QStringLiteral("SELECT rowid, ") + columnList(t) + QStringLiteral(" FROM ") + quoted(t.tableName);
}

QString buildInsert(const TableDef& t) {
    QStringList marks;
    for (size_t i = 0; i < t.fields.size(); ++i) {
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO ") + quoted(t.tableName) + QStringLiteral(" (") + columnList(t) +
           QStringLiteral(") VALUES (") + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
}

} // namespace

QString select(const TableDef& t) {
    return once(t, buildSelect);
}

QString insert(const TableDef& t) {
    return once(t, buildInsert);
}

QString rowIdTaken(const TableDef& t) {
    return once(t, [](const TableDef& table) {
        return QStringLiteral("SELECT 1 FROM ") + quoted(table.tableName) + QStringLiteral(" WHERE rowid = ?");
    });
}

namespace {

QString whereFor(const TableDef& t, const KeyDef& k, const KeyRange& range, std::vector<Value>& binds,
                 QStringList& cols, size_t& np) {
    for (int f : k.fields) {
        cols << quoted(t.fields[static_cast<size_t>(f)].column);
    }
    QString where;
    auto addTerm = [&where](const QString& term) {
        where += (where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ")) + term;
    };
    if (!k.includeEmpty) {
        addTerm(presentCondition(t, k));
    }
    // Values compare as stored: cut to their field's width, without trailing blanks.
    auto fitted = [&](const Value& v, size_t component) -> Value {
        if (const auto* s = std::get_if<QString>(&v)) {
            return fitText(*s, t.fields[static_cast<size_t>(k.fields[component])].width);
        }
        return v;
    };
    np = std::min(range.prefix.size(), k.fields.size());
    for (size_t i = 0; i < np; ++i) {
        addTerm(cols[static_cast<qsizetype>(i)] + QStringLiteral(" = ?"));
        binds.push_back(fitted(range.prefix[i], i));
    }
    const bool rowIdKey = isRowIdKey(t, k);
    auto position = [&](const std::vector<Value>& comps, bool withRowId, bool lower, bool exclusive) {
        const size_t n = std::min(comps.size(), k.fields.size() - np);
        QStringList lhs;
        QStringList marks;
        for (size_t i = 0; i < n; ++i) {
            lhs << cols[static_cast<qsizetype>(np + i)];
            marks << QStringLiteral("?");
            binds.push_back(fitted(comps[i], np + i));
        }
        if (withRowId && !rowIdKey) {
            lhs << QStringLiteral("rowid");
            marks << QStringLiteral("?");
            binds.push_back(range.fromRowId);
        }
        if (lhs.isEmpty()) {
            return;
        }
        const QString op = lower ? (exclusive ? QStringLiteral(" > ") : QStringLiteral(" >= "))
                                 : (exclusive ? QStringLiteral(" < ") : QStringLiteral(" <= "));
        if (lhs.size() == 1) {
            addTerm(lhs.first() + op + marks.first());
        } else {
            addTerm(QLatin1Char('(') + lhs.join(QStringLiteral(", ")) + QStringLiteral(")") + op + QLatin1Char('(') +
                    marks.join(QStringLiteral(", ")) + QLatin1Char(')'));
            // The same bound on the first component alone lets the store seek to it in the key instead of
            // walking the key from the start of the range.
            if (n > 0) {
                addTerm(lhs.first() + (lower ? QStringLiteral(" >= ?") : QStringLiteral(" <= ?")));
                binds.push_back(binds[binds.size() - static_cast<size_t>(lhs.size())]);
            }
        }
    };
    if (!range.from.empty() || range.fromRowId != 0) {
        const bool full = range.from.size() >= k.fields.size() - np && range.fromRowId != 0;
        position(range.from, full, !range.backward, range.fromExclusive);
    }
    if (!range.to.empty()) {
        // The stop bound covers every record whose leading components equal it.
        const size_t n = std::min(range.to.size(), k.fields.size() - np);
        QStringList lhs;
        QStringList marks;
        for (size_t i = 0; i < n; ++i) {
            lhs << cols[static_cast<qsizetype>(np + i)];
            marks << QStringLiteral("?");
            binds.push_back(fitted(range.to[i], np + i));
        }
        const QString op = range.backward ? QStringLiteral(" >= ") : QStringLiteral(" <= ");
        if (lhs.size() == 1) {
            addTerm(lhs.first() + op + marks.first());
        } else if (!lhs.isEmpty()) {
            addTerm(QLatin1Char('(') + lhs.join(QStringLiteral(", ")) + QStringLiteral(")") + op + QLatin1Char('(') +
                    marks.join(QStringLiteral(", ")) + QLatin1Char(')'));
        }
    }
    return where;
}

} // namespace

Query readRange(const TableDef& t, const KeyDef& k, const KeyRange& range) {
    const bool rowIdKey = isRowIdKey(t, k);
    QStringList cols;
    Query q;
    size_t np = 0;
    const QString where = whereFor(t, k, range, q.binds, cols, np);
    const QString dir = range.backward ? QStringLiteral(" DESC") : QString();
    QStringList order;
    // Components held equal are left out of the ordering: naming them keeps the store from walking
    // the key in order and makes it sort the whole range instead.
    for (qsizetype i = static_cast<qsizetype>(np); i < cols.size(); ++i) {
        order << cols[i] + dir;
    }
    if (!rowIdKey) {
        order << QStringLiteral("rowid") + dir;
    }
    q.text = select(t);
    if (!rowIdKey) {
        q.text += QStringLiteral(" INDEXED BY ") + quoted(indexName(t, k));
    }
    q.text += where;
    if (!order.isEmpty()) {
        q.text += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    }
    q.text += QStringLiteral(" LIMIT ? OFFSET ?");
    q.binds.push_back(int64_t{range.limit});
    q.binds.push_back(std::max<int64_t>(range.offset, 0));
    return q;
}

Query countRange(const TableDef& t, const KeyDef& k, const KeyRange& range) {
    QStringList cols;
    Query q;
    size_t np = 0;
    q.text = QStringLiteral("SELECT count(*) FROM ") + quoted(t.tableName);
    if (!isRowIdKey(t, k)) {
        q.text += QStringLiteral(" INDEXED BY ") + quoted(indexName(t, k));
    }
    q.text += whereFor(t, k, range, q.binds, cols, np);
    return q;
}

Query countPrefix(const TableDef& t, const KeyDef& k, const std::vector<Value>& prefix) {
    Query q;
    q.text = QStringLiteral("SELECT count(*) FROM ") + quoted(t.tableName);
    QStringList terms;
    if (!k.includeEmpty) {
        terms << presentCondition(t, k);
    }
    for (size_t i = 0; i < prefix.size() && i < k.fields.size(); ++i) {
        terms << quoted(t.fields[static_cast<size_t>(k.fields[i])].column) + QStringLiteral(" = ?");
        q.binds.push_back(prefix[i]);
    }
    if (!terms.isEmpty()) {
        q.text += QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
    }
    return q;
}

Query readPhysical(const TableDef& t, int64_t afterRowId, int limit, bool backward) {
    Query q;
    q.text = select(t);
    if (afterRowId != 0) {
        q.text += backward ? QStringLiteral(" WHERE rowid < ?") : QStringLiteral(" WHERE rowid > ?");
        q.binds.push_back(afterRowId);
    }
    q.text += backward ? QStringLiteral(" ORDER BY rowid DESC") : QStringLiteral(" ORDER BY rowid");
    q.text += QStringLiteral(" LIMIT ?");
    q.binds.push_back(int64_t{limit});
    return q;
}

} // namespace sql
} // namespace zendrel
