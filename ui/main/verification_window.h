#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "protocol/calibration_identity.h"
#include "protocol/verification.h"
#include "ui/main/reference_settings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// "Verify…": the output checked at test points of the configured range.
// For each point the technician applies the input with the reference
// source and types (or pastes) the applied value and the meter's reading;
// expected output, error in % of span and pass/fail fill in as he goes,
// with the run's result in large type. Record hands the run, with the
// reference instruments ticked as used, to the owner. Non-modal.
class CVerificationWindow : public QWidget {
public:
    // What the device is configured to, read when a run starts.
    struct SDevice {
        double lower = 0;
        double upper = 0;
        QString unit;           // "°C"
        std::string model;      // test points are remembered per model
        std::string deviceKey;  // the output kind is remembered per device
    };
    using DeviceSource = std::function<std::optional<SDevice>()>;
    // False when there is no session to take the run (the device is gone).
    using RecordHandler =
        std::function<bool(const protocol::VerificationRun& run,
                           const std::vector<protocol::ReferenceInstrument>& used)>;

    CVerificationWindow(DeviceSource device, RecordHandler record, QWidget* parent);

    void Retranslate();
    void SetStage(protocol::VerificationStage stage);
    // A fresh table from the fields' plan and the device's range; false,
    // with the reason shown, when the plan is refused.
    bool StartRun();
    // The points measured so far (rows with both numbers), in table order.
    protocol::VerificationRun Run() const;
    std::vector<protocol::ReferenceInstrument> UsedReferences() const;
    // Lines of "applied<Tab or ,>measured", or of a measured value alone,
    // into the rows from the current one on.
    void PasteReadings(const QString& text);
    void Record();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Recompute(int row);
    void ShowResult();
    void FillReferences();
    void SaveReferenceTable();
    SReferenceEntry ReferenceRow(int row) const;
    // The points table's heads, with the input's and the output's units.
    void SetPointHeaders();
    void MarkExpired(int row);
    std::optional<protocol::VerificationPlan> PlanFromFields(QString* problem) const;

    DeviceSource m_device;
    RecordHandler m_record;
    protocol::VerificationPlan m_plan;
    QString m_unit;  // of the applied input
    bool m_planned = false;
    bool m_filling = false;
    QLabel* m_stageLabel;
    QComboBox* m_stage;
    QLabel* m_outputLabel;
    QComboBox* m_output;
    QLabel* m_toleranceLabel;
    QLineEdit* m_tolerance;
    QLabel* m_pointsLabel;
    QLineEdit* m_points;
    QPushButton* m_newRun;
    QLabel* m_hint;
    QTableWidget* m_table;
    QLabel* m_result;
    QLabel* m_note;
    QPushButton* m_recordButton;
    QLabel* m_referencesLabel;
    QTableWidget* m_references;
    QPushButton* m_add;
    QPushButton* m_remove;
};
