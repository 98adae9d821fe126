#pragma once
// Text files of a folder used as tables by the local text session: a statement that names
// "[prices.txt]" or "prices#txt" reads that file of the folder as a table whose first line
// holds the column names. Files are loaded into temporary tables on first use and again when
// they change on disk.
#include <QHash>
#include <QString>
#include <QStringList>

class QSqlDatabase;

// One delimited text file split into its header and rows. Quoted fields may hold the
// delimiter, doubled quotes and line breaks. Files that are not UTF-8 are read as GBK.
struct TextFileTable {
    QStringList columns;
    QList<QStringList> rows;
};
TextFileTable ParseTextFileTable(const QByteArray& bytes, QChar delimiter);

class TextFileTables {
public:
    explicit TextFileTables(QString folder) : folder_(std::move(folder)) {}

    // Loads every text file the statement names and returns the statement with each reference
    // written as the loaded table's name. References to files that do not exist are left as
    // they are, so the engine reports the missing table.
    QString Attach(QSqlDatabase& db, const QString& sql);

private:
    bool Load(QSqlDatabase& db, const QString& fileName);

    QString folder_;
    QHash<QString, QString> loaded_; // file name → modification time and size when loaded
};
