#pragma once

#include <QWidget>

namespace protocol {
class CTrafficRecord;
}
class CTrafficModel;
class QLabel;
class QPushButton;
class QTableView;
class QTimer;

// "Traffic": the line as it happens, one row per frame or event, errors
// highlighted, the connection's counters above. Non-modal; it polls the
// record on a timer (the link's threads never wait for it), follows the
// newest row unless the user scrolled away, and while paused takes nothing.
class CTrafficWindow : public QWidget {
public:
    CTrafficWindow(const protocol::CTrafficRecord& record, QWidget* parent);

    void Retranslate();
    // What the port in use does to the latency, above the counters.
    void SetPortText(const QString& text);
    bool Paused() const { return m_paused; }
    void SetPaused(bool paused);
    void Clear();
    // The selected rows as text lines, to the clipboard.
    void CopySelected();
    // All rows shown, as trace lines or (csv) comma-separated values.
    bool SaveTo(const QString& path, bool csv) const;
    CTrafficModel& Model() { return *m_model; }
    // One poll of the record, as the timer does it.
    void Update();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Save();
    void ShowCounters();
    void ShowRowCount();

    const protocol::CTrafficRecord& m_record;
    CTrafficModel* m_model;
    QLabel* m_port;
    QLabel* m_counters;
    QLabel* m_latency;
    QLabel* m_rows;
    QPushButton* m_pause;
    QPushButton* m_clear;
    QPushButton* m_copy;
    QPushButton* m_save;
    QTableView* m_table;
    QTimer* m_timer;
    bool m_paused = false;
    bool m_follow = true;
};
