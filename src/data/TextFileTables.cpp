#include "data/TextFileTables.h"

#include "platform/Gbk.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringDecoder>
#include <QVariant>

namespace {

const QRegularExpression& ReferencePattern() {
    // [name.ext] or name#ext; the name never leaves the folder.
    static const QRegularExpression pattern(
        QStringLiteral(
            R"(\[([^\[\]/\\]+)\.(txt|csv|tab|asc)\]|(?<![\w.])([^\s\[\]/\\,()'"#;]+)#(txt|csv|tab|asc)\b)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

QString QuoteIdentifier(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString DecodeText(const QByteArray& bytes) {
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(body);
    if (!utf8.hasError())
        return text;
    return platform::DecodeGbk(body);
}

} // namespace

TextFileTable ParseTextFileTable(const QByteArray& bytes, QChar delimiter) {
    const QString text = DecodeText(bytes);
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    const qsizetype n = text.size();
    auto endField = [&] {
        record.append(field);
        field.clear();
        fieldStarted = false;
    };
    auto endRecord = [&] {
        endField();
        // Blank lines hold no record.
        if (!(record.size() == 1 && record.first().isEmpty()))
            records.append(record);
        record.clear();
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < n && text.at(i + 1) == u'"') {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == u'"' && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
        } else if (c == delimiter) {
            endField();
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            endRecord();
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (fieldStarted || !field.isEmpty() || !record.isEmpty())
        endRecord();

    TextFileTable table;
    if (records.isEmpty())
        return table;
    const QStringList header = records.takeFirst();
    // Missing or repeated names get the positional name the user sees in tools: F1, F2, ...
    for (qsizetype k = 0; k < header.size(); ++k) {
        QString name = header[k].trimmed();
        if (name.isEmpty() || table.columns.contains(name, Qt::CaseInsensitive))
            name = QStringLiteral("F%1").arg(k + 1);
        table.columns.append(name);
    }
    for (QStringList& row : records) {
        while (row.size() < table.columns.size())
            row.append(QString());
        row.resize(table.columns.size());
        table.rows.append(row);
    }
    return table;
}

QString TextFileTables::Attach(QSqlDatabase& db, const QString& sql) {
    QString out;
    qsizetype last = 0;
    QRegularExpressionMatchIterator it = ReferencePattern().globalMatch(sql);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const bool bracketed = m.capturedLength(1) > 0;
        const QString fileName = bracketed ? m.captured(1) + QLatin1Char('.') + m.captured(2)
                                           : m.captured(3) + QLatin1Char('.') + m.captured(4);
        if (fileName.startsWith(QLatin1Char('.')) || !Load(db, fileName))
            continue;
        out += QStringView(sql).mid(last, m.capturedStart() - last);
        out += QuoteIdentifier(fileName);
        last = m.capturedEnd();
    }
    if (last == 0)
        return sql;
    out += QStringView(sql).mid(last);
    return out;
}

bool TextFileTables::Load(QSqlDatabase& db, const QString& fileName) {
    const QFileInfo info(folder_ + fileName);
    if (!info.isFile())
        return false;
    const QString stamp = info.lastModified().toString(Qt::ISODateWithMs) + QLatin1Char(' ') +
                          QString::number(info.size());
    const auto known = loaded_.constFind(fileName);
    if (known != loaded_.constEnd() && *known == stamp)
        return true;

    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString suffix = info.suffix().toLower();
    const TextFileTable table =
        ParseTextFileTable(file.readAll(), suffix == QLatin1String("tab") ? u'\t' : u',');
    if (table.columns.isEmpty())
        return false;

    QSqlQuery q(db);
    // A savepoint works both inside and outside the action's transaction.
    q.exec(QStringLiteral("SAVEPOINT zv_text"));
    const QString name = QuoteIdentifier(fileName);
    QStringList columns;
    for (const QString& column : table.columns)
        columns.append(QuoteIdentifier(column) + QStringLiteral(" TEXT"));
    bool ok = q.exec(QStringLiteral("DROP TABLE IF EXISTS temp.%1").arg(name)) &&
              q.exec(QStringLiteral("CREATE TEMP TABLE %1 (%2)").arg(name, columns.join(u',')));
    if (ok) {
        QStringList marks;
        for (qsizetype k = 0; k < table.columns.size(); ++k)
            marks.append(QStringLiteral("?"));
        ok = q.prepare(
            QStringLiteral("INSERT INTO temp.%1 VALUES (%2)").arg(name, marks.join(u',')));
        for (qsizetype r = 0; ok && r < table.rows.size(); ++r) {
            for (qsizetype k = 0; k < table.columns.size(); ++k)
                q.bindValue(int(k), table.rows[r][k]);
            ok = q.exec();
        }
    }
    QSqlQuery end(db);
    if (!ok) {
        end.exec(QStringLiteral("ROLLBACK TO zv_text"));
        end.exec(QStringLiteral("RELEASE zv_text"));
        return false;
    }
    end.exec(QStringLiteral("RELEASE zv_text"));
    loaded_.insert(fileName, stamp);
    return true;
}
