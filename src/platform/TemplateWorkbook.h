#pragma once
// A spreadsheet made from a stored template, standing in for the spreadsheet application that
// the export fills on Windows: the template's workbook (.xlsx or .xltx) is copied with the cells
// of one sheet filled in, everything else (styles, formulas, other sheets, names) kept as it is.
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace platform {

struct WorkbookFill {
    QString templatePath;                         // .xlsx or .xltx
    QString outputPath;                           // the .xlsx to write
    QString sheetName = QStringLiteral("sheet1"); // matched ignoring letter case
    int startRow = 2;                             // 1-based cell of rows[0][0]
    int startColumn = 1;
    QList<QStringList> rows; // rows[r][k] goes to (startRow + r, startColumn + k)
    // Called now and then with the rows written so far; may be called from a worker thread.
    std::function<void(int rowsWritten)> progress;
};

struct WorkbookResult {
    bool ok = true;
    QString error; // a message for the user
};

// Writes the filled workbook. A text that is a plain decimal number is written as a number;
// everything else (leading zeros, long digit strings such as identity numbers) as text. The file
// appears whole or not at all.
WorkbookResult FillTemplateWorkbook(const WorkbookFill& fill);

// A template in the old binary format (.xls) converted to .xlsx in `outFolder` with LibreOffice,
// when it is installed; `xlsxPath` receives the converted file.
WorkbookResult ConvertLegacyWorkbook(const QString& xlsPath, const QString& outFolder,
                                     QString& xlsxPath);

} // namespace platform
