#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <deque>
#include <memory>

#include "protocol/traffic_entry.h"

namespace protocol {
class CTrafficRecord;
}

// The traffic window's rows: a copy of the record's ring, brought up to date
// by Poll() on the window's timer. Holds the entries by shared pointer, so a
// poll copies pointers only, and never more rows than the record keeps.
class CTrafficModel : public QAbstractTableModel {
public:
    enum Column { kTime, kDirection, kBytes, kMeaning, kColumnCount };

    explicit CTrafficModel(const protocol::CTrafficRecord& record, QObject* parent = nullptr);

    // Takes the entries recorded since the last poll; returns how many.
    int Poll();
    // Forgets the rows shown; entries recorded later show again.
    void Clear();
    const protocol::TrafficEntry& Entry(int row) const {
        return *m_rows[static_cast<std::size_t>(row)];
    }
    // "time dir hex | meaning" or a CSV record, without the line end.
    static QString TextLine(const protocol::TrafficEntry& entry);
    static QString CsvLine(const protocol::TrafficEntry& entry);
    static QString CsvHeader();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Column titles follow the language.
    void Retranslate();

private:
    const protocol::CTrafficRecord& m_record;
    std::deque<std::shared_ptr<const protocol::TrafficEntry>> m_rows;
    std::uint64_t m_lastSequence = 0;
};
