#include "ui/main/configuration_table.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

CConfigurationTable::CConfigurationTable(QWidget* parent)
    : QWidget(parent, Qt::Window), m_heading(new QLabel(this)), m_table(new QTableWidget(this)) {
    setObjectName(QStringLiteral("configuration"));
    m_table->setObjectName(QStringLiteral("configuration_table"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_heading->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(m_table);
    resize(560, 420);
}

void CConfigurationTable::Show(const QString& title, const QString& heading,
                               const QStringList& columns, const std::vector<SRow>& rows) {
    setWindowTitle(title);
    m_heading->setText(heading);
    m_heading->setVisible(!heading.isEmpty());
    m_table->clear();
    m_table->setColumnCount(static_cast<int>(columns.size()));
    m_table->setHorizontalHeaderLabels(columns);
    m_table->setRowCount(static_cast<int>(rows.size()));
    // A light red the eye finds at once, the text kept readable.
    const QColor marked(255, 224, 224);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const SRow& row = rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < row.cells.size(); ++c) {
            auto* item = new QTableWidgetItem(row.cells[c]);
            if (row.marked) item->setBackground(marked);
            m_table->setItem(r, c, item);
        }
    }
    m_table->resizeColumnsToContents();
    show();
    raise();
    activateWindow();
}
