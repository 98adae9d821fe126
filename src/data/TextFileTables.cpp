#include "data/TextFileTables.h"

#include "data/SqlTokenizer.h"
#include "platform/Gbk.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringDecoder>
#include <QVariant>

namespace {

// References are found wherever they stand, inside quoted texts and comments too: only
// [bracketed] names are read as units.
constexpr SqlLexis kReferenceLexis{.texts = false,
                                   .lineComments = false,
                                   .blockComments = false,
                                   .quotedNames = false,
                                   .bracketNames = true};

bool IsTextFileSuffix(QStringView suffix) {
    for (const char* known : {"txt", "csv", "tab", "asc"})
        if (suffix.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// The whole character at `at`, or the one that ends just before `at`, pairs of surrogates joined.
char32_t CodePointAt(QStringView s, qsizetype at) {
    if (s[at].isHighSurrogate() && at + 1 < s.size() && s[at + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(s[at], s[at + 1]);
    return s[at].unicode();
}
char32_t CodePointBefore(QStringView s, qsizetype at) {
    if (s[at - 1].isLowSurrogate() && at >= 2 && s[at - 2].isHighSurrogate())
        return QChar::surrogateToUcs4(s[at - 2], s[at - 1]);
    return s[at - 1].unicode();
}
bool IsNameWordChar(char32_t c) {
    return c == U'_' || QChar::isLetterOrNumber(c);
}

// A character a name#ext reference may hold: no blank, bracket, slash, quote or separator, so
// the name never leaves the folder.
bool IsReferenceChar(QChar c) {
    static constexpr QStringView excluded = u"[]/\\,()'\"#;";
    return !c.isSpace() && !excluded.contains(c);
}

// "[name.ext]": the file name, or empty when the brackets name no text file.
QString BracketedFileName(QStringView bracketed) {
    if (bracketed.size() < 7 || !bracketed.endsWith(u']'))
        return {};
    const QStringView inner = bracketed.sliced(1, bracketed.size() - 2);
    if (inner.contains(u'[') || inner.contains(u'/') || inner.contains(u'\\') ||
        inner[inner.size() - 4] != u'.' || !IsTextFileSuffix(inner.last(3)))
        return {};
    return inner.toString();
}

// "name#ext" around the "#" at `hash`, the name starting at `from` or later: the file name and
// the reference's range, or an empty name.
QString HashedFileName(QStringView s, qsizetype hash, qsizetype from, qsizetype& begin,
                       qsizetype& end) {
    end = hash + 4;
    if (end > s.size() || !IsTextFileSuffix(s.sliced(hash + 1, 3)) ||
        (end < s.size() && IsNameWordChar(CodePointAt(s, end))))
        return {};
    begin = hash;
    while (begin > from && IsReferenceChar(s[begin - 1]))
        --begin;
    // The name starts where no word character or dot stands before it.
    while (begin < hash && begin > 0 &&
           (IsNameWordChar(CodePointBefore(s, begin)) || s[begin - 1] == u'.'))
        begin += CodePointAt(s, begin) > 0xFFFF ? 2 : 1;
    if (begin == hash)
        return {};
    QString name = s.sliced(begin, hash - begin).toString();
    name += QLatin1Char('.');
    name += s.sliced(hash + 1, 3);
    return name;
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
    qsizetype copied = 0;
    qsizetype searched = 0; // past the last reference found, loaded or not
    SqlTokenizer reader(sql, kReferenceLexis);
    SqlToken token;
    while (reader.Next(token)) {
        QString fileName;
        qsizetype begin = token.begin;
        qsizetype end = token.end;
        if (token.kind == SqlTokenKind::BracketName) {
            fileName = BracketedFileName(reader.Text(token));
            if (fileName.isEmpty()) {
                // Brackets that name no file may still hold a reference of either form.
                reader.Seek(token.begin + 1);
                continue;
            }
        } else if (reader.IsPunct(token, u'#')) {
            fileName = HashedFileName(sql, token.begin, searched, begin, end);
            if (fileName.isEmpty())
                continue;
            reader.Seek(end);
        } else {
            continue;
        }
        searched = end;
        if (fileName.startsWith(QLatin1Char('.')) || !Load(db, fileName))
            continue;
        out += QStringView(sql).mid(copied, begin - copied);
        out += QuoteIdentifier(fileName);
        copied = end;
    }
    if (copied == 0)
        return sql;
    out += QStringView(sql).mid(copied);
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
