#include "data/ConnectionText.h"

#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/SessionContext.h"
#include "net/HttpClient.h"
#include "net/UpdateSites.h"

#include <QHash>

namespace {

const QString kSqlServerMarker = QStringLiteral("driver={SQL Server};");
const QString kSqlServerPrefix = QStringLiteral("driver={SQL Server};Server=");
const QString kAccessPrefix = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=");

// Value of "key=" inside a connection text; the key must start the text or follow a
// separator, so that "PWD=" is not found inside "UID=" and "Password=" stays its own key.
QString ConnectionValue(const QString& text, const QString& key) {
    const QString token = key + QLatin1Char('=');
    int from = 0;
    while (true) {
        const int at = text.indexOf(token, from, Qt::CaseInsensitive);
        if (at < 0)
            return {};
        const QChar before = at == 0 ? QChar(';') : text.at(at - 1);
        if (before == ';' || before == '"' || before.isSpace()) {
            const int start = at + token.size();
            int end = start;
            while (end < text.size() && text.at(end) != ';' && text.at(end) != '"')
                ++end;
            return text.mid(start, end - start);
        }
        from = at + 1;
    }
}

} // namespace

QString SqlServerConnectionText(const QString& server, const QString& port, const QString& database,
                                const QString& user, const QString& password) {
    return QStringLiteral("driver={SQL Server};Server=%1,%2;DATABASE=%3;UID=%4;PWD=%5;")
        .arg(server, port, database, user, password);
}

QString AccountSetFilePassword(const QString& filePath) {
    return filePath.endsWith(QLatin1String(".dat"), Qt::CaseSensitive)
               ? QStringLiteral("Zr4-Mulvadine-Tq8w")
               : QStringLiteral("Qy7-Pelvantor-Kx3z");
}

QString AccessConnectionText(const QString& filePath) {
    return kAccessPrefix + filePath + QStringLiteral(";Jet OLEDB:Database Password=") +
           AccountSetFilePassword(filePath) + QLatin1Char(';');
}

QString PostgresConnectionText(const QString& server, const QString& port, const QString& database,
                               const QString& user, const QString& password) {
    return QStringLiteral("Provider=MSDASQL.1;Password=%1;User Properties=\"DRIVER={PostgreSQL};"
                          "DATABASE=%2;SERVER=%3;\t\t\t\t PORT=%4;UID=%5;PWD=%6;"
                          "TextAsLongVarchar=0;ByteaAsLongVarBinary=1\"")
        .arg(password, database, server, port, user, password);
}

QString ConnectionServiceAddress() {
    return UpdateSiteHost() + QStringLiteral("/cs/");
}

QString AddressLookupUrl() {
    return QStringLiteral("http://") + UpdateSiteHost() + QStringLiteral("/service/get.aspx");
}

QString ResolveServerAddress(const QString& connectionText) {
    const int at = connectionText.indexOf(kSqlServerPrefix);
    if (at < 0)
        return connectionText;
    const int start = at + kSqlServerPrefix.size();
    const int comma = connectionText.indexOf(QLatin1Char(','), start);
    const QString address = connectionText.mid(start, comma < 0 ? -1 : comma - start);
    if (address.indexOf(QLatin1Char('/'), 1) < 1)
        return connectionText;
    QString resolved = connectionText;
    resolved.replace(address, HttpGetText(address));
    return resolved;
}

namespace {

// Steps shared by session construction and the login refresh.
QString ResolveStoredConnection(const QString& cfgPath) {
    SessionContext& app = SessionContext::Current();
    const QString stored = app.storedConnectionText.Get();
    if (!stored.isEmpty())
        return ResolveServerAddress(UnscrambleCfgText(stored, 1));

    const QString name = ReadCfg(cfgPath, QStringLiteral("SERVER"), QStringLiteral("NAME"));
    const QString plain = UnscrambleCfgText(name, 1);
    QString text;
    if (!plain.isEmpty() && plain.contains(ConnectionServiceAddress())) {
        const QString body = HttpGetText(plain);
        app.SetStoredConnectionText(body);
        text = UnscrambleCfgText(body, 1);
    } else {
        app.SetStoredConnectionText(name);
        text = plain;
    }
    return ResolveServerAddress(text);
}

} // namespace

QString ResolveSessionConnection(const QString& cfgPath) {
    const QString text = ResolveStoredConnection(cfgPath);
    SessionContext::Current().SetAccountSetKind(
        text.contains(kSqlServerMarker) ? QStringLiteral("1") : QStringLiteral("2"));
    return text;
}

QString ResolveLoginConnection(const QString& cfgPath) {
    const QString text = ResolveStoredConnection(cfgPath);
    if (text.indexOf(QStringLiteral(";Jet"), 1) > 0)
        SessionContext::Current().SetAccountSetPath(AccountSetPathOf(text));
    return text;
}

QString AccountSetPathOf(const QString& connectionText) {
    const int jet = connectionText.indexOf(QStringLiteral(";Jet"), 1);
    if (jet < 1)
        return {};
    QString path = connectionText.left(jet);
    const QString source = QStringLiteral("Data Source=");
    const int at = path.indexOf(source);
    if (at >= 0)
        path = path.mid(at + source.size());
    return path;
}

DbKindCode KindOfConnection(const QString& connectionText) {
    if (connectionText.contains(kSqlServerMarker))
        return DbKindCode::SqlServer;
    if (connectionText.contains(kAccessPrefix))
        return DbKindCode::LocalFile;
    return DbKindCode::Other;
}

DriverConnection MapToDriver(const QString& connectionText) {
    DriverConnection c;
    switch (KindOfConnection(connectionText)) {
    case DbKindCode::LocalFile:
        c.driver = QStringLiteral("QSQLITE");
        // The local text session works in memory; its Data Source is the folder of the text
        // files, not a database file.
        c.databaseName = ConnectionValue(connectionText, QStringLiteral("Data Source"));
        if (connectionText.contains(QLatin1String("Extended Properties=text"),
                                    Qt::CaseInsensitive)) {
            c.textFolder = c.databaseName;
            if (!c.textFolder.isEmpty() && !c.textFolder.endsWith(QLatin1Char('/')))
                c.textFolder += QLatin1Char('/');
            c.databaseName = QStringLiteral(":memory:");
        }
        break;
    case DbKindCode::SqlServer: {
        // FreeTDS through unixODBC; "Server=host,port" splits into its own keys there. The
        // protocol version is negotiated, so older servers connect as well as current ones.
        const QString server = ConnectionValue(connectionText, QStringLiteral("Server"));
        const int comma = server.indexOf(QLatin1Char(','));
        const QString host = comma < 0 ? server : server.left(comma).trimmed();
        const QString port = comma < 0 ? QStringLiteral("1433") : server.mid(comma + 1).trimmed();
        c.driver = QStringLiteral("QODBC");
        c.databaseName =
            QStringLiteral("DRIVER={FreeTDS};SERVER=%1;PORT=%2;DATABASE=%3;UID=%4;"
                           "PWD=%5;TDS_Version=auto;ClientCharset=UTF-8;")
                .arg(host, port, ConnectionValue(connectionText, QStringLiteral("DATABASE")),
                     ConnectionValue(connectionText, QStringLiteral("UID")),
                     ConnectionValue(connectionText, QStringLiteral("PWD")));
        break;
    }
    case DbKindCode::Other: {
        c.driver = QStringLiteral("QPSQL");
        c.databaseName = ConnectionValue(connectionText, QStringLiteral("DATABASE"));
        c.host = ConnectionValue(connectionText, QStringLiteral("SERVER"));
        bool ok = false;
        const int port = ConnectionValue(connectionText, QStringLiteral("PORT")).toInt(&ok);
        c.port = ok ? port : -1;
        c.user = ConnectionValue(connectionText, QStringLiteral("UID"));
        c.password = ConnectionValue(connectionText, QStringLiteral("PWD"));
        break;
    }
    }
    return c;
}

QString PostgresConnectionTextFromConnInfo(const QString& connInfo) {
    QHash<QString, QString> values;
    for (const QString& pair : connInfo.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int eq = pair.indexOf(QLatin1Char('='));
        if (eq > 0)
            values.insert(pair.left(eq).toLower(), pair.mid(eq + 1));
    }
    return PostgresConnectionText(values.value(QStringLiteral("host"), QStringLiteral("127.0.0.1")),
                                  values.value(QStringLiteral("port"), QStringLiteral("5432")),
                                  values.value(QStringLiteral("dbname")),
                                  values.value(QStringLiteral("user")),
                                  values.value(QStringLiteral("password")));
}
