#pragma once

#include <QDateTime>
#include <QString>

#include "protocol/calibration_session.h"

// The as-found / as-left report of a calibration session, in the loaded
// language: port, date and time, technician, every register as found and as
// left with the changes marked, then the writes, stored samples and trims
// with their times. Saved as a PDF with a CSV of the same content beside it.
class CCalibrationReport {
public:
    CCalibrationReport(const protocol::CalibrationSession& session,
                       const protocol::RegisterWords& asLeft, QString technician, QDateTime made);

    // Comma-separated, one section after the other, CRLF line ends (as
    // spreadsheets expect); fields quoted where they need it.
    QString Csv() const;
    // The page content the PDF is printed from.
    QString Html() const;

    // Each writes the whole file or leaves none; false with the reason in
    // *error when the file cannot be written.
    bool SaveCsv(const QString& path, QString* error) const;
    bool SavePdf(const QString& path, QString* error) const;
    // The PDF at pdfPath and the CSV beside it (CsvPathFor).
    bool Save(const QString& pdfPath, QString* error) const;
    static QString CsvPathFor(const QString& pdfPath);

    // Text of a register's word as the window shows it, with the raw word
    // in brackets where the text does not show it (codes, scaled values).
    static QString WordText(int index, std::uint16_t word, std::uint16_t decimals);
    // Main text number of the name of register 10 + index.
    static int ParameterTextId(int index);

private:
    struct Table;
    Table Header() const;
    Table Parameters() const;
    Table Writes() const;
    Table Samples() const;
    Table Trims() const;

    const protocol::CalibrationSession& m_session;
    protocol::RegisterWords m_asLeft;
    QString m_technician;
    QDateTime m_made;
};
