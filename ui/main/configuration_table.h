#pragma once

#include <QStringList>
#include <QWidget>
#include <vector>

class QLabel;
class QTableWidget;

// The Configuration menu's table: a file compared with the device, or what
// an Apply did, one row per register, the rows that differ marked.
// Non-modal; it stays until closed and shows the next comparison.
class CConfigurationTable : public QWidget {
public:
    struct SRow {
        QStringList cells;
        bool marked = false;
    };

    explicit CConfigurationTable(QWidget* parent);

    void Show(const QString& title, const QString& heading, const QStringList& columns,
              const std::vector<SRow>& rows);

    QTableWidget* Table() const { return m_table; }

private:
    QLabel* m_heading;
    QTableWidget* m_table;
};
