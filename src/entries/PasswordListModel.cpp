#include "entries/PasswordListModel.h"

#include "base/DatePicture.h"

namespace zendrel {

namespace {

constexpr int kCachedPages = 20;

} // namespace

PasswordListModel::PasswordListModel(DataStore& store, Clock& clock, QObject* parent)
    : QAbstractTableModel(parent), m_store(store), m_clock(clock) {}

QString PasswordListModel::keyOf(Order order) {
    switch (order) {
    case Order::Service:
        return QStringLiteral("P_:KeyService");
    case Order::Url:
        return QStringLiteral("P_:KeyURL");
    case Order::Name:
        return QStringLiteral("P_:KeyName");
    case Order::Date:
        return QStringLiteral("P_:KeyDateChanged");
    case Order::Expired:
        return QStringLiteral("P_:KeyExpiryDate");
    }
    return QStringLiteral("P_:KeyService");
}

KeyRange PasswordListModel::rangeOf(const QString& user, Order order, int32_t today) {
    KeyRange r;
    r.prefix = {user};
    if (order == Order::Expired) {
        // Entries that have an expiry date, today or earlier.
        r.from = {int64_t{1}};
        r.to = {int64_t{today}};
    }
    return r;
}

KeyRange PasswordListModel::range() const {
    return rangeOf(m_user, m_order, m_clock.today());
}

void PasswordListModel::startAt(KeyRange& r, Order order, const PasswordRecord& entry) {
    // The entry's place in the key: its components after the user, then its record number.
    const Row values = toRow(entry);
    const KeyDef& k = tables::passwords().key(keyOf(order));
    r.from.clear();
    for (size_t i = 1; i < k.fields.size(); ++i) {
        r.from.push_back(values[static_cast<size_t>(k.fields[i])]);
    }
    r.fromRowId = entry.rowId;
}

void PasswordListModel::setUser(const QString& user) {
    m_user = user;
    refresh();
}

void PasswordListModel::setOrder(Order order) {
    m_order = order;
    refresh();
}

void PasswordListModel::setDatePicture(const QString& code) {
    m_datePicture = code;
    if (m_count > 0) {
        Q_EMIT dataChanged(index(0, 4), index(static_cast<int>(m_count) - 1, 5));
    }
}

void PasswordListModel::refresh() {
    beginResetModel();
    m_pages.clear();
    m_count = m_user.isEmpty() ? 0 : Table<PasswordRecord>(m_store).count(keyOf(m_order), range());
    endResetModel();
}

int PasswordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(std::min<int64_t>(m_count, INT32_MAX));
}

int PasswordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 6;
}

const PasswordRecord* PasswordListModel::rowAt(int row) const {
    if (row < 0 || row >= m_count) {
        return nullptr;
    }
    const int page = row / kPage;
    auto it = m_pages.find(page);
    if (it == m_pages.end()) {
        KeyRange r = range();
        auto before = m_pages.find(page - 1);
        if (before != m_pages.end() && !before->second.empty()) {
            // Scrolling on: continue behind the last row read, along the key.
            startAt(r, m_order, before->second.back());
            r.fromExclusive = true;
        } else {
            r.offset = int64_t{page} * kPage;
        }
        r.limit = kPage;
        if (m_pages.size() >= kCachedPages) {
            m_pages.erase(m_pages.begin() == m_pages.find(page - 1) ? std::prev(m_pages.end()) : m_pages.begin());
        }
        it = m_pages.emplace(page, Table<PasswordRecord>(m_store).read(keyOf(m_order), r)).first;
    }
    const size_t at = static_cast<size_t>(row % kPage);
    return at < it->second.size() ? &it->second[at] : nullptr;
}

QVariant PasswordListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    const PasswordRecord* e = rowAt(index.row());
    if (!e) {
        return {};
    }
    switch (index.column()) {
    case 0:
        return e->service.left(30);
    case 1:
        return e->url.left(90);
    case 2:
        return e->name.left(30);
    case 3:
        return e->notes.left(255).simplified();
    case 4:
        return formatDate(e->expiryDate, m_datePicture);
    case 5:
        return formatDate(e->lastChangeDate, m_datePicture);
    default:
        return {};
    }
}

QVariant PasswordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const QStringList headers = {"Service", "URL (Link)", "Name", "Notes", "Expiry Date", "Last Change Date"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < headers.size()) {
        return headers[section];
    }
    return {};
}

std::optional<PasswordRecord> PasswordListModel::entryAt(int row) const {
    const PasswordRecord* e = rowAt(row);
    if (!e) {
        return std::nullopt;
    }
    auto fresh = Table<PasswordRecord>(m_store).get(e->rowId);
    // A record number freed by a delete is given to the next new entry: the row shown must still be the
    // same service and name, or it is not the entry the user chose.
    if (fresh && (fresh->service.compare(e->service, Qt::CaseInsensitive) != 0 ||
                  fresh->name.compare(e->name, Qt::CaseInsensitive) != 0)) {
        return std::nullopt;
    }
    return fresh;
}

int PasswordListModel::locate(QChar typed) const {
    if (m_user.isEmpty() || m_count == 0) {
        return -1;
    }
    // Typing steps through the text orders; the date orders have no text to step through.
    if (m_order == Order::Date || m_order == Order::Expired) {
        return -1;
    }
    KeyRange r = range();
    r.from = {QString(typed)};
    // The row's index is the number of rows before it.
    const int64_t atOrAfter = Table<PasswordRecord>(m_store).count(keyOf(m_order), r);
    return atOrAfter == 0 ? -1 : static_cast<int>(m_count - atOrAfter);
}

int PasswordListModel::rowOf(const PasswordRecord& entry) const {
    if (m_user.isEmpty() || m_count == 0 || entry.rowId == 0 || entry.user.compare(m_user, Qt::CaseInsensitive) != 0) {
        return -1;
    }
    if (m_order == Order::Expired && (entry.expiryDate <= 0 || entry.expiryDate > m_clock.today())) {
        return -1;
    }
    // The number of rows from the entry on, counted along the key, gives its place.
    KeyRange r = range();
    startAt(r, m_order, entry);
    const int64_t atOrAfter = Table<PasswordRecord>(m_store).count(keyOf(m_order), r);
    return atOrAfter == 0 ? -1 : static_cast<int>(m_count - atOrAfter);
}

} // namespace zendrel
