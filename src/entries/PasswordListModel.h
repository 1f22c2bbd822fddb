#pragma once

#include "data/DataStore.h"

#include <QAbstractTableModel>

#include <map>

namespace zendrel {

// The rows of a user's password list in one of its five orders, read lazily: a page of records at a
// time through the key of the order, never the whole table.
class PasswordListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum class Order { Service, Url, Name, Date, Expired };
    static constexpr int kPage = 100;

    PasswordListModel(DataStore& store, Clock& clock, QObject* parent = nullptr);

    void setUser(const QString& user);
    void setOrder(Order order);
    Order order() const { return m_order; }
    // The date picture code of the date columns ("d17" and the others); blank for the default.
    void setDatePicture(const QString& code);
    // Reads afresh (after a change, or when another program may have written).
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The entry of a row as it is stored now; nothing when it has gone meanwhile, or when its record
    // number now holds another entry.
    std::optional<PasswordRecord> entryAt(int row) const;
    // The step locator: the first row whose locator field (service, address or name) is at or after the
    // typed character, ignoring case; -1 when there is none.
    int locate(QChar typed) const;

    // The row an entry of this list holds in the current order, -1 when it is not in the list.
    int rowOf(const PasswordRecord& entry) const;

    static QString keyOf(Order order);
    // The entries of a user's list in an order: the whole key for the user, or those that expire today or
    // earlier for the Expired order.
    static KeyRange rangeOf(const QString& user, Order order, int32_t today);
    // Starts a range at an entry of a list in that order.
    static void startAt(KeyRange& r, Order order, const PasswordRecord& entry);

private:
    KeyRange range() const;
    const PasswordRecord* rowAt(int row) const;

    DataStore& m_store;
    Clock& m_clock;
    QString m_user;
    Order m_order = Order::Service;
    QString m_datePicture;
    int64_t m_count = 0;
    mutable std::map<int, std::vector<PasswordRecord>> m_pages;  // by page number
};

} // namespace zendrel
