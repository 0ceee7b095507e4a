#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "history/history_store.h"

class QChart;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// "History…": the units the history database knows, found by the start of
// a tag or serial; a unit's sessions with who calibrated it and how it was
// found and left; its as-found error at each calibration over time; and a
// session's certificate, made again from the database when its file is
// gone. Non-modal.
class CHistoryWindow : public QWidget {
public:
    // `database`: a SQLite file or a PostgreSQL connection string.
    // `open`: shows a PDF (the desktop's viewer; tests look instead).
    CHistoryWindow(QString database, std::function<void(const QString&)> open,
                   QWidget* parent = nullptr);
    ~CHistoryWindow() override;

    // Opens the database again and shows the search's devices.
    void Refresh();
    void RefreshTexts();

private:
    void Search();
    void ShowDevice(int row);
    void ShowChart();
    void OpenCertificate();
    void Fail(const QString& why);
    bool Connected();

    QString m_database;
    std::function<void(const QString&)> m_open;
    std::unique_ptr<history::HistoryStore> m_store;
    std::vector<history::DeviceSummary> m_devices;
    std::vector<history::SessionSummary> m_sessions;

    QLineEdit* m_search;
    QTableWidget* m_deviceTable;
    QTableWidget* m_sessionTable;
    QChart* m_chart;
    QPushButton* m_openButton;
    QLabel* m_status;
};
