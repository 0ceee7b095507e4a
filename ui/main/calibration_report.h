#pragma once

#include <QDateTime>
#include <QString>
#include <string>
#include <vector>

#include "protocol/calibration_session.h"

// The calibration certificate of a session, in the loaded language: its
// number, date and software; the unit's identity, signal source and range as
// left; the reference instruments (those past their date marked); the
// as-found and as-left verifications with tolerance and pass/fail; what this
// session wrote; lines for the signatures; the raw words in an appendix.
// Saved as a PDF with a CSV of the same content beside it.
class CCalibrationReport {
public:
    // `today` (YYYY-MM-DD) decides which references are past their date.
    CCalibrationReport(const protocol::CalibrationSession& session,
                       const protocol::RegisterWords& asLeft, QString number, QDateTime made,
                       std::string today);

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
    std::vector<Table> Sections() const;
    Table Header() const;
    Table Device() const;
    Table References() const;
    Table Verification(protocol::VerificationStage stage) const;
    Table Signatures() const;
    Table Parameters() const;
    Table Writes() const;
    Table Samples() const;
    Table Trims() const;

    const protocol::CalibrationSession& m_session;
    protocol::RegisterWords m_asLeft;
    QString m_number;
    QDateTime m_made;
    std::string m_today;
};
