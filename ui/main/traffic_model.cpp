#include "ui/main/traffic_model.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>

#include "protocol/trace_file.h"
#include "protocol/traffic_record.h"
#include "ui/main/csv_field.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"

using namespace maintext;

namespace {

QString Direction(const protocol::TrafficEntry& entry) {
    switch (entry.direction) {
        case protocol::TrafficDirection::Sent:
            return QStringLiteral("TX");
        case protocol::TrafficDirection::Received:
            return QStringLiteral("RX");
        default:
            return QStringLiteral("--");
    }
}

// Local wall-clock time and the ms since the connection began.
QString Time(const protocol::TrafficEntry& entry) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(entry.wallClock.time_since_epoch())
            .count();
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss.zzz")) +
           QStringLiteral(" +%1").arg(entry.sinceConnection, 0, 'f', 1);
}

}  // namespace

CTrafficModel::CTrafficModel(const protocol::CTrafficRecord& record, QObject* parent)
    : QAbstractTableModel(parent), m_record(record) {}

int CTrafficModel::Poll() {
    const auto fresh = m_record.Since(m_lastSequence);
    if (fresh.empty()) return 0;
    m_lastSequence = fresh.back()->sequence;
    const std::size_t capacity = m_record.Capacity();
    // Rows beyond the ring's size go first, oldest first.
    const std::size_t total = m_rows.size() + fresh.size();
    if (total > capacity) {
        const std::size_t drop = std::min(total - capacity, m_rows.size());
        if (drop > 0) {
            beginRemoveRows(QModelIndex(), 0, static_cast<int>(drop) - 1);
            m_rows.erase(m_rows.begin(), m_rows.begin() + static_cast<std::ptrdiff_t>(drop));
            endRemoveRows();
        }
    }
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(fresh.size()) - 1);
    m_rows.insert(m_rows.end(), fresh.begin(), fresh.end());
    endInsertRows();
    return static_cast<int>(fresh.size());
}

void CTrafficModel::Clear() {
    beginResetModel();
    m_rows.clear();
    m_lastSequence = m_record.LastSequence();
    endResetModel();
}

int CTrafficModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CTrafficModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CTrafficModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const protocol::TrafficEntry& entry = Entry(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
            case kTime:
                return Time(entry);
            case kDirection:
                return Direction(entry);
            case kBytes:
                return QString::fromStdString(protocol::HexText(entry.bytes));
            case kMeaning:
                return QString::fromStdString(entry.meaning);
            default:
                return {};
        }
    }
    if (role == Qt::BackgroundRole && entry.error) return QBrush(QColor(255, 224, 224));
    if (role == Qt::ForegroundRole && entry.error) return QBrush(QColor(160, 0, 0));
    return {};
}

QVariant CTrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static constexpr int kTexts[kColumnCount] = {kTrafficTimeText, kTrafficDirectionText,
                                                 kTrafficBytesText, kTrafficMeaningText};
    return section >= 0 && section < kColumnCount ? MainText(kTexts[section]) : QString();
}

void CTrafficModel::Retranslate() {
    emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

QString CTrafficModel::TextLine(const protocol::TrafficEntry& entry) {
    return QString::fromStdString(protocol::TraceLine(entry));
}

QString CTrafficModel::CsvHeader() {
    return QStringLiteral("utc,ms_since_connection,direction,bytes,meaning,error");
}

QString CTrafficModel::CsvLine(const protocol::TrafficEntry& entry) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(entry.wallClock.time_since_epoch())
            .count();
    return QStringList{QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs),
                       QString::number(entry.sinceConnection, 'f', 3),
                       Direction(entry),
                       QString::fromStdString(protocol::HexText(entry.bytes)),
                       CsvField(QString::fromStdString(entry.meaning)),
                       entry.error ? QStringLiteral("1") : QStringLiteral("0")}
        .join(QLatin1Char(','));
}
