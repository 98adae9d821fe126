#include "AdminCommands.h"

#include "AccountSetInit.h"
#include "CfgCommand.h"
#include "DemoAccountSet.h"
#include "FormCommand.h"
#include "FormLint.h"
#include "PlayRunner.h"
#include "UpdateKeyCommand.h"
#include "app/UpdateSignature.h"
#include "app/UpdateWorker.h"
#include "data/CfgFile.h"
#include "data/ConnectionText.h"
#include "data/DbSession.h"
#include "data/SessionContext.h"
#include "form/DefinitionCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

constexpr int kUsageError = 2;
constexpr int kFailed = 1;

const char kUsage[] =
    "用法:\n"
    "  vemo-admin init --sqlite FILE [--demo]\n"
    "  vemo-admin init --pg CONNINFO [--demo]\n"
    "  vemo-admin cfg set-connection --dir EXE_FOLDER (--sqlite FILE | --pg HOST PORT DB USER "
    "PASSWORD | --mssql HOST PORT DB USER PASSWORD)\n"
    "  vemo-admin cfg set --dir EXE_FOLDER SECTION KEY VALUE\n"
    "  vemo-admin form pack IN.xml OUT [--bits B]\n"
    "  vemo-admin form unpack IN OUT.xml\n"
    "  vemo-admin form import (--dir EXE_FOLDER | --sqlite FILE) --uid N FILE.xml\n"
    "  vemo-admin form export (--dir EXE_FOLDER | --sqlite FILE) --uid N OUT.xml\n"
    "  vemo-admin form lint FILE... | --account-set [--dir EXE_FOLDER]\n"
    "  vemo-admin play [--dir EXE_FOLDER] SCRIPT\n"
    "  vemo-admin update --dir EXE_FOLDER\n"
    "  vemo-admin update keygen --out DIR\n"
    "  vemo-admin update sign --key PRIVATE_KEY [--version V] FILE...\n";

int Fail(const QString& message, int code = kFailed) {
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "vemo-admin: %s\n", qPrintable(line.trimmed()));
    return code;
}

void Warn(const QString& message) {
    Fail(QStringLiteral("警告：") + message);
}

int Usage(const QString& problem) {
    Fail(problem, kUsageError);
    std::fputs(kUsage, stderr);
    return kUsageError;
}

// A PostgreSQL account set as it is named in what is printed: only the pairs that say where it
// is. The password, or anything typed in its place, must not end up on a screen or in a log.
QString PgAccountSetName(const QString& connInfo) {
    static const QStringList kShown{QStringLiteral("host"), QStringLiteral("port"),
                                    QStringLiteral("dbname"), QStringLiteral("user")};
    QStringList shown;
    for (const QString& pair : connInfo.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        if (eq > 0 && kShown.contains(pair.left(eq).toLower()))
            shown.append(pair);
    }
    return shown.join(QLatin1Char(' '));
}

int RunInit(const QStringList& args) {
    const bool demo = args.size() == 3 && args[2] == QLatin1String("--demo");
    if (args.size() != 2 && !demo)
        return Usage(QStringLiteral("init 需要 --sqlite FILE [--demo] 或 --pg CONNINFO [--demo]"));
    QString error;
    bool ok = false;
    if (demo && args[0] == QLatin1String("--pg"))
        ok = InitPostgresDemoAccountSet(args[1], error);
    else if (demo && args[0] != QLatin1String("--sqlite"))
        return Usage(QStringLiteral("未知选项 %1").arg(args[0]));
    else if (demo)
        ok = InitSqliteDemoAccountSet(args[1], error);
    else if (args[0] == QLatin1String("--sqlite"))
        ok = InitSqliteAccountSet(args[1], error);
    else if (args[0] == QLatin1String("--pg"))
        ok = InitPostgresAccountSet(args[1], error);
    else
        return Usage(QStringLiteral("未知选项 %1").arg(args[0]));
    if (!ok)
        return Fail(QStringLiteral("创建账套失败：") + error);
    const QString name = args[0] == QLatin1String("--pg") ? PgAccountSetName(args[1]) : args[1];
    if (demo)
        std::printf("演示账套已创建：%s（管理员 admin、营业员 zhangxm，初始密码均为 %s）\n",
                    qPrintable(name), kDefaultAdminPassword);
    else
        std::printf("账套已创建：%s（管理员 admin，初始密码 %s）\n", qPrintable(name),
                    kDefaultAdminPassword);
    return 0;
}

int RunCfg(const QStringList& args) {
    // Any other setting: cfg.ini keeps the encoding it has (UTF-16 as the client writes it).
    if (args.size() == 6 && args[0] == QLatin1String("set") && args[1] == QLatin1String("--dir")) {
        const QString path = QDir(args[2]).filePath(QStringLiteral("cfg.ini"));
        // A key that cannot check anything would only stop every update later, silently.
        QList<QByteArray> keys;
        QString keyError;
        if (args[3].compare(QLatin1String("UPDATE"), Qt::CaseInsensitive) == 0 &&
            args[4].compare(QLatin1String("PUBLIC_KEY"), Qt::CaseInsensitive) == 0 &&
            !ParsePublicKeys(args[5], keys, keyError))
            return Fail(keyError);
        WriteCfg(path, args[3], args[4], args[5]);
        return ReadCfg(path, args[3], args[4]) == args[5]
                   ? 0
                   : Fail(QStringLiteral("无法写入 %1").arg(path));
    }
    if (args.size() < 4 || args[0] != QLatin1String("set-connection") ||
        args[1] != QLatin1String("--dir"))
        return Usage(QStringLiteral("cfg 需要 set-connection --dir EXE_FOLDER ..."));
    ConnectionSettings settings;
    const QString& option = args[3];
    const QStringList rest = args.mid(4);
    if (option == QLatin1String("--sqlite") && rest.size() == 1) {
        settings.kind = ConnectionKind::LocalFile;
        settings.filePath = rest[0];
    } else if ((option == QLatin1String("--pg") || option == QLatin1String("--mssql")) &&
               rest.size() == 5) {
        settings.kind =
            option == QLatin1String("--pg") ? ConnectionKind::Postgres : ConnectionKind::SqlServer;
        settings.host = rest[0];
        settings.port = rest[1];
        settings.database = rest[2];
        settings.user = rest[3];
        settings.password = rest[4];
    } else {
        return Usage(QStringLiteral("连接参数不完整：%1").arg(option));
    }
    QString error;
    if (!WriteConnectionSettings(args[2], settings, error))
        return Fail(error);
    // Written all the same: the file may be copied there later, or live on a share not mounted
    // yet. The client would only say it cannot open the account set.
    const QFileInfo file(settings.filePath);
    if (settings.kind == ConnectionKind::LocalFile && !file.isFile())
        Warn(QStringLiteral("账套文件不存在：%1（连接已写入）").arg(file.absoluteFilePath()));
    return 0;
}

// The account set named by "--dir EXE_FOLDER" (its cfg.ini) or "--sqlite FILE".
bool AccountSetOf(const QString& option, const QString& value, QString& connectionText) {
    if (option == QLatin1String("--sqlite")) {
        connectionText = AccessConnectionText(QFileInfo(value).absoluteFilePath());
        return true;
    }
    if (option == QLatin1String("--dir")) {
        connectionText = ResolveSessionConnection(QDir(value).absoluteFilePath("cfg.ini"));
        return !connectionText.isEmpty();
    }
    return false;
}

// Lints form files, or every stored form of the account set in cfg.ini: one line per finding;
// 0 without errors, 1 with errors, 2 when it cannot run.
int RunLint(const QStringList& args) {
    QList<QPair<QString, QString>> texts; // name, definition
    if (args.value(0) == QLatin1String("--account-set")) {
        if (args.size() != 1 && !(args.size() == 3 && args[1] == QLatin1String("--dir")))
            return Usage(QStringLiteral("form lint --account-set [--dir EXE_FOLDER]"));
        const QDir folder(args.size() == 3 ? args[2] : QStringLiteral("."));
        if (!QFileInfo::exists(folder.filePath(QStringLiteral("cfg.ini"))))
            return Fail(
                QStringLiteral("%1 中没有 cfg.ini：请先用 vemo-admin cfg set-connection 写入连接")
                    .arg(folder.absolutePath()),
                kUsageError);
        SessionContext::Current().ApplyStartUp(
            SessionContext::StartUpIn(folder.absolutePath() + QLatin1Char('/'), QString()));
        DbSession session(DbSession::FromConfig);
        if (!session.Open())
            return Fail(AccountSetOpenError(session), kUsageError);
        QStringList rows;
        session.QueryColumns(QStringLiteral("SELECT uid_0, name_0 FROM c_menu_dh WHERE leaf_0=1 "
                                            "ORDER BY uid_0"),
                             {QStringLiteral("uid_0"), QStringLiteral("name_0")}, rows);
        for (qsizetype i = 0; i + 1 < rows.size(); i += 2) {
            QList<QByteArray> stored;
            session.ReadBinary(QStringLiteral("SELECT form_0 FROM c_menu_dh WHERE uid_0=%1")
                                   .arg(rows[i].toLongLong()),
                               {QStringLiteral("form_0")}, stored);
            if (stored.value(0).isEmpty())
                continue;
            const UnpackResult unpacked = UnpackDefinition(stored.first());
            texts.append({QStringLiteral("menu:%1(%2)").arg(rows[i], rows[i + 1]),
                          unpacked.ok ? unpacked.text : QString()});
        }
    } else {
        if (args.isEmpty())
            return Usage(QStringLiteral("form lint 需要 FILE… 或 --account-set"));
        for (const QString& path : args) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                return Fail(QStringLiteral("无法读取 %1").arg(path), kUsageError);
            texts.append({path, QString::fromUtf8(file.readAll())});
        }
    }
    bool errors = false;
    for (const auto& [name, text] : texts)
        for (const LintFinding& finding : LintDefinition(text)) {
            errors = errors || finding.error;
            std::printf("%s\n", LintLine(name, finding).toUtf8().constData());
        }
    return errors ? 1 : 0;
}

int RunForm(const QStringList& args) {
    const QString sub = args.value(0);
    if (sub == QLatin1String("lint"))
        return RunLint(args.mid(1));
    QString error;
    bool ok = false;
    if (sub == QLatin1String("pack") && (args.size() == 3 || args.size() == 5)) {
        int bits = kDefaultFormCodeBits;
        if (args.size() == 5) {
            bool number = false;
            bits = args[4].toInt(&number);
            if (args[3] != QLatin1String("--bits") || !number)
                return Usage(QStringLiteral("form pack 的选项应为 --bits B"));
        }
        ok = PackFormFile(args[1], args[2], bits, error);
    } else if (sub == QLatin1String("unpack") && args.size() == 3) {
        ok = UnpackFormFile(args[1], args[2], error);
    } else if ((sub == QLatin1String("import") || sub == QLatin1String("export")) &&
               args.size() == 6 && args[3] == QLatin1String("--uid")) {
        bool number = false;
        args[4].toLongLong(&number);
        if (!number)
            return Usage(QStringLiteral("--uid 须是整数：%1").arg(args[4]));
        QString connection;
        if (!AccountSetOf(args[1], args[2], connection))
            return args[1] == QLatin1String("--dir")
                       ? Fail(QStringLiteral("%1 中的 cfg.ini 没有账套连接").arg(args[2]))
                       : Usage(QStringLiteral("需要 --dir EXE_FOLDER 或 --sqlite FILE"));
        const QString uid = QString::number(args[4].toLongLong());
        ok = sub == QLatin1String("import")
                 ? ImportForm(connection, uid, args[5], kDefaultFormCodeBits, error)
                 : ExportForm(connection, uid, args[5], error);
    } else {
        return Usage(QStringLiteral("form 的参数不正确"));
    }
    return ok ? 0 : Fail(error);
}

int RunPlayCommand(const QStringList& args) {
    QString exeFolder = QStringLiteral(".");
    QStringList rest = args;
    if (rest.size() == 3 && rest[0] == QLatin1String("--dir")) {
        exeFolder = rest[1];
        rest = rest.mid(2);
    }
    if (rest.size() != 1 || rest[0].startsWith(QLatin1String("--"))) {
        Fail(QStringLiteral("play 需要 [--dir EXE_FOLDER] SCRIPT"), kUsageError);
        std::fputs(kPlayUsage, stderr);
        return kUsageError;
    }
    return RunPlay(exeFolder, rest[0]);
}

// "update keygen --out DIR" and "update sign --key PRIVATE [--version V] FILE...".
int RunUpdateKeyCommand(const QStringList& args) {
    QString error;
    if (args.value(0) == QLatin1String("keygen")) {
        if (args.size() != 3 || args[1] != QLatin1String("--out"))
            return Usage(QStringLiteral("update keygen 需要 --out DIR"));
        QString publicKey;
        if (!MakeUpdateKey(args[2], publicKey, error))
            return Fail(error);
        std::printf("私钥：%s（只给签名的人，妥善保管，不要放到更新服务器或客户端上）\n"
                    "公钥：%s\n"
                    "客户端设置：vemo-admin cfg set --dir EXE_FOLDER UPDATE PUBLIC_KEY %s\n",
                    qPrintable(QDir(args[2]).absoluteFilePath(QStringLiteral("update.key"))),
                    qPrintable(QDir(args[2]).absoluteFilePath(QStringLiteral("update.pub"))),
                    qPrintable(publicKey));
        return 0;
    }
    QStringList rest = args.mid(1);
    QString key;
    QString version;
    while (rest.size() >= 2 && rest[0].startsWith(QLatin1String("--"))) {
        if (rest[0] == QLatin1String("--key"))
            key = rest[1];
        else if (rest[0] == QLatin1String("--version"))
            version = rest[1];
        else
            return Usage(QStringLiteral("update sign 不认识选项 %1").arg(rest[0]));
        rest = rest.mid(2);
    }
    if (key.isEmpty() || rest.isEmpty())
        return Usage(QStringLiteral("update sign 需要 --key PRIVATE_KEY [--version V] FILE..."));
    for (const QString& file : rest) {
        QString used;
        if (!SignUpdateFile(key, file, version, used, error))
            return Fail(error);
        std::printf("已签名：%s（版本 %s）\n", qPrintable(file + QStringLiteral(".sig")),
                    qPrintable(used));
    }
    return 0;
}

// The update worker once, in the foreground, as the client in EXE_FOLDER would run it at
// start-up: one line per step.
int RunUpdateCommand(const QStringList& args) {
    if (args.value(0) == QLatin1String("keygen") || args.value(0) == QLatin1String("sign"))
        return RunUpdateKeyCommand(args);
    if (args.size() != 2 || args[0] != QLatin1String("--dir"))
        return Usage(QStringLiteral("update 需要 --dir EXE_FOLDER"));
    const QDir folder(args[1]);
    if (!QFileInfo::exists(folder.filePath(QStringLiteral("cfg.ini"))))
        return Fail(
            QStringLiteral("%1 中没有 cfg.ini：请先用 vemo-admin cfg set-connection 写入连接")
                .arg(folder.absolutePath()));
    SessionContext& app = SessionContext::Current();
    app.ApplyStartUp(SessionContext::StartUpIn(folder.absolutePath() + QLatin1Char('/'),
                                               QStringLiteral(VEMO_VERSION_TEXT)));
    QDir::setCurrent(app.exeFolder);
    UpdateRun run;
    run.exeFolder = app.exeFolder;
    run.ownVersion = app.exeVersion;
    run.log = [](const QString& line) { std::printf("%s\n", line.toUtf8().constData()); };
    run.report = [&app](const SessionContext::UpdateFindings& found) {
        app.ApplyUpdateFindings(found);
    };
    RunUpdateWorker(app, run);
    return 0;
}

} // namespace

int RunAdminCommand(const QStringList& arguments) {
    if (arguments.isEmpty())
        return Usage(QStringLiteral("缺少命令"));
    const QString command = arguments[0];
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("init"))
        return RunInit(rest);
    if (command == QLatin1String("cfg"))
        return RunCfg(rest);
    if (command == QLatin1String("form"))
        return RunForm(rest);
    if (command == QLatin1String("play"))
        return RunPlayCommand(rest);
    if (command == QLatin1String("update"))
        return RunUpdateCommand(rest);
    return Usage(QStringLiteral("未知命令 %1").arg(command));
}
