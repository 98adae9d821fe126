#include "app/DefinitionsMerge.h"

#include "data/DbSession.h"
#include "data/EngineProfile.h"
#include "form/DefinitionCodec.h"
#include "form/XmlDocument.h"
#include "platform/Gbk.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace {

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString ReadText(const QString& path) {
    return platform::DecodeGbk(ReadBytes(path));
}

// Whether `value` is of the column kind: 'n' an integer, 'N' an integer or nothing, 't' a date
// and time or nothing, 's' any text.
bool OfKind(const QString& value, char kind) {
    static const QRegularExpression dateTime(QStringLiteral(
        "^\\d{4}[-/]\\d{1,2}[-/]\\d{1,2}( \\d{1,2}:\\d{1,2}(:\\d{1,2}(\\.\\d+)?)?)?$"));
    bool number = false;
    value.toLongLong(&number);
    switch (kind) {
    case 'n':
        return number;
    case 'N':
        return number || value.isEmpty();
    case 't':
        return value.isEmpty() || dateTime.match(value).hasMatch();
    default:
        return true;
    }
}

// Checks one file of rows: each line that is not empty has one comma-separated value per
// letter of `kinds` (see OfKind), carriage returns aside, and the first is no key of an
// earlier line. Rows are counted.
bool CheckRows(const QString& name, const QString& text, const char* kinds, int& rows,
               QString& error) {
    const qsizetype count = qsizetype(qstrlen(kinds));
    QSet<QString> keys;
    rows = 0;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (QString(lines[i]).remove(QLatin1Char('\r')).isEmpty())
            continue;
        const QStringList values = lines[i].split(QLatin1Char(','));
        const QString where = QStringLiteral("%1 第 %2 行").arg(name).arg(i + 1);
        if (values.size() != count) {
            error = QStringLiteral("%1应有 %2 个值，却有 %3 个（文件不完整？）")
                        .arg(where)
                        .arg(count)
                        .arg(values.size());
            return false;
        }
        for (qsizetype v = 0; v < count; ++v)
            if (!OfKind(QString(values[v]).remove(QLatin1Char('\r')), kinds[v])) {
                error = QStringLiteral("%1第 %2 个值不对：%3（文件不完整？）")
                            .arg(where)
                            .arg(v + 1)
                            .arg(values[v]);
                return false;
            }
        if (keys.contains(values[0])) {
            error = QStringLiteral("%1的 uid %2 重复").arg(where, values[0]);
            return false;
        }
        keys.insert(values[0]);
        ++rows;
    }
    return true;
}

// The statements of the merge as the engine takes them (none for an unknown kind), one by one so
// that each one's failure is seen.
QStringList MergeStatements(const EngineProfile* engine, const QString& version) {
    if (!engine)
        return {};
    QString quoted = version;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    const QString keepForms = QStringLiteral(
        "UPDATE c_menu_dh_down,c_menu_dh B SET c_menu_dh_down.form_0=B.form_0 WHERE "
        "c_menu_dh_down.uid_0=B.uid_0 AND c_menu_dh_down.form_0 IS NULL AND B.form_0 IS NOT NULL");
    const QString entries = QStringLiteral(
        "INSERT INTO c_menu_dh(uid_0,level_0,leaf_0,order_0,pUid_0,name_0,form_0,"
        "update_user_uid_0,update_time_0)SELECT uid_0,level_0,leaf_0,order_0,pUid_0,name_0,form_0,"
        "update_user_uid_0,update_time_0  FROM  c_menu_dh_down ORDER BY uid_0");
    const QString buttons = QStringLiteral(
        "INSERT INTO c_menu_button(uid_0,menu_uid_0,button_id_0,value_0,sta_0) SELECT "
        "uid_0,menu_uid_0,button_id_0,value_0,sta_0  FROM  c_menu_button_down ORDER BY uid_0");
    const QString keepStates =
        QStringLiteral("UPDATE c_menu_button_down SET sta_0=B.sta_0 FROM c_menu_button B WHERE "
                       "c_menu_button_down.uid_0=B.uid_0");
    // A button's default state is the account set's own, not the package's: kept on every kind.
    if (engine->IsLocalFile())
        return {keepForms,
                QStringLiteral("DELETE FROM c_menu_dh"),
                entries,
                QStringLiteral("UPDATE c_menu_button_down,c_menu_button B SET "
                               "c_menu_button_down.sta_0=B.sta_0 WHERE "
                               "c_menu_button_down.uid_0=B.uid_0"),
                QStringLiteral("DELETE FROM c_menu_button"),
                buttons,
                QStringLiteral("UPDATE c_app SET ver_1='%1' WHERE uid_0=1").arg(quoted),
                QStringLiteral("DELETE FROM c_menu_dh_down")};
    if (engine->TakesOwnDialect())
        return {QStringLiteral("UPDATE c_menu_dh_down SET form_0=B.form_0 FROM c_menu_dh B WHERE "
                               "c_menu_dh_down.uid_0=B.uid_0 AND c_menu_dh_down.form_0 IS NULL "
                               "AND B.form_0 IS NOT NULL"),
                QStringLiteral("DELETE FROM c_menu_dh"),
                QStringLiteral("SET IDENTITY_INSERT c_menu_dh ON"),
                entries,
                QStringLiteral("SET IDENTITY_INSERT c_menu_dh OFF"),
                keepStates,
                QStringLiteral("DELETE FROM c_menu_button"),
                QStringLiteral("SET IDENTITY_INSERT c_menu_button ON"),
                buttons,
                QStringLiteral("SET IDENTITY_INSERT c_menu_button OFF"),
                QStringLiteral("UPDATE c_app SET ver_1=N'%1' WHERE uid_0=1").arg(quoted),
                QStringLiteral("DELETE FROM c_menu_dh_down")};
    return {keepForms,
            QStringLiteral("DELETE FROM c_menu_dh"),
            entries,
            keepStates,
            QStringLiteral("DELETE FROM c_menu_button"),
            buttons,
            QStringLiteral("UPDATE c_app SET ver_1='%1' WHERE uid_0=1").arg(quoted),
            QStringLiteral("DELETE FROM c_menu_dh_down")};
}

} // namespace

QStringList ChangedEntries(const QString& menuText, const QString& snapshotText) {
    QStringList changed;
    for (const QString& line : menuText.split(QLatin1Char('\n')))
        if (!snapshotText.contains(line))
            changed.append(line);
    return changed;
}

bool CheckDefinitionsPackage(const QString& folderPath, const QStringList& changedUids,
                             QString& error) {
    const QDir folder(folderPath);
    QString texts[4];
    const char* names[] = {"dh_menu.txt", "menu_button.txt", "up_sql.txt", "clear_sql.txt"};
    for (int i = 0; i < 4; ++i) {
        const QString name = QString::fromLatin1(names[i]);
        const QByteArray bytes = ReadBytes(folder.filePath(name));
        texts[i] = platform::DecodeGbk(bytes);
        // A character cut in two, or bytes that are no GBK, would otherwise turn into "?".
        if (platform::EncodeGbk(texts[i]) != bytes) {
            error = QStringLiteral("%1 不是完整的 GBK 文本").arg(name);
            return false;
        }
    }
    int entries = 0;
    int buttons = 0;
    // uid_0, level_0, leaf_0, order_0, pUid_0, name_0, update_user_uid_0, update_time_0; and
    // uid_0, menu_uid_0, button_id_0, value_0.
    if (!CheckRows(QStringLiteral("dh_menu.txt"), texts[0], "nnnnnsNt", entries, error) ||
        !CheckRows(QStringLiteral("menu_button.txt"), texts[1], "nnns", buttons, error))
        return false;
    if (entries == 0) {
        error = QStringLiteral("dh_menu.txt 没有任何导航条目");
        return false;
    }
    for (const QString& uid : changedUids) {
        const QString name = uid + QStringLiteral("_form.dll");
        const QByteArray stored = ReadBytes(folder.filePath(name));
        if (stored.isEmpty())
            continue; // the entry keeps the form it has
        const UnpackResult unpacked = UnpackDefinition(stored);
        FormXml::XmlDocument document;
        FormXml::XmlLoadError why;
        if (!unpacked.ok || !document.LoadXml(unpacked.text, &why)) {
            error =
                QStringLiteral("%1 不是完整的表单定义%2")
                    .arg(name, unpacked.ok ? QStringLiteral("：") + why.description : QString());
            return false;
        }
    }
    return true;
}

bool MergeDefinitions(DbSession& session, const DefinitionsDownload& download,
                      const std::function<void(const QString&)>& log, QString& error) {
    const QDir folder(download.folder);
    // The snapshot the changed entries are found against.
    QStringList snapshot;
    session.QueryColumns(
        QStringLiteral("SELECT uid_0,level_0,leaf_0,order_0,pUid_0,name_0,update_user_uid_0,"
                       "update_time_0  FROM c_menu_dh order by uid_0"),
        {"uid_0", "level_0", "leaf_0", "order_0", "pUid_0", "name_0", "update_user_uid_0",
         "update_time_0"},
        snapshot);
    QStringList rows;
    for (qsizetype i = 0; i + 8 <= snapshot.size(); i += 8)
        rows.append(snapshot.mid(i, 8).join(QLatin1Char(',')));
    const QString snapshotText = rows.join(QStringLiteral("\r\n"));
    {
        QFile old(folder.filePath(QStringLiteral("dh_menu_old.txt")));
        if (old.open(QIODevice::WriteOnly))
            old.write(platform::EncodeGbk(snapshotText));
    }

    const QString menuText = ReadText(folder.filePath(QStringLiteral("dh_menu.txt")));
    const QStringList changed = ChangedEntries(menuText, snapshotText);
    QStringList changedUids;
    for (const QString& line : changed) {
        const QString uid = line.section(QLatin1Char(','), 0, 0);
        QString why;
        if (!download.fetchForm(uid, why)) {
            error = QStringLiteral("功能 %1 的表单：%2").arg(uid, why);
            return false;
        }
        changedUids.append(uid);
    }
    log(QStringLiteral("changed entries: %1").arg(changed.size()));
    if (!CheckDefinitionsPackage(download.folder, changedUids, error))
        return false;

    if (!session.BeginTrans()) {
        error = session.Message();
        return false;
    }
    auto fail = [&](const QString& what) {
        error = what + QLatin1Char('\n') + session.Detail();
        session.RollbackTrans();
        return false;
    };
    // Every statement of the scripts counts: the first that fails takes all of it back.
    const QString upSql = ReadText(folder.filePath(QStringLiteral("up_sql.txt")));
    if (!upSql.trimmed().isEmpty() && !session.Execute(upSql))
        return fail(QStringLiteral("up_sql.txt 执行失败"));

    if (!session.Execute(QStringLiteral("DELETE FROM c_menu_button_down")))
        return fail(QStringLiteral("清空按钮暂存表失败"));
    for (const QString& line :
         ReadText(folder.filePath(QStringLiteral("menu_button.txt"))).split(QLatin1Char('\n'))) {
        QStringList values = line.split(QLatin1Char(','));
        for (QString& value : values)
            value.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
        if (values.size() != 4)
            continue;
        if (session.AddRecord(QStringLiteral("SELECT uid_0,menu_uid_0,button_id_0,value_0  FROM "
                                             "c_menu_button_down where uid_0<0"),
                              {"uid_0", "menu_uid_0", "button_id_0", "value_0"}, values) < 0)
            return fail(QStringLiteral("写入按钮暂存表失败"));
    }
    if (!session.Execute(QStringLiteral("DELETE FROM c_menu_dh_down")))
        return fail(QStringLiteral("清空导航暂存表失败"));
    for (const QString& line : menuText.split(QLatin1Char('\n'))) {
        const QStringList values = line.split(QLatin1Char(','));
        // A line without all eight values adds no entry.
        if (values.size() != 8)
            continue;
        if (session.AddRecord(
                QStringLiteral("SELECT uid_0,level_0,leaf_0,order_0,pUid_0,name_0,"
                               "update_user_uid_0,update_time_0  FROM c_menu_dh_down where "
                               "uid_0<0"),
                {"uid_0", "level_0", "leaf_0", "order_0", "pUid_0", "name_0", "update_user_uid_0",
                 "update_time_0"},
                values) < 0)
            return fail(QStringLiteral("写入导航暂存表失败"));
    }
    for (const QString& line : changed) {
        const QString uid = line.section(QLatin1Char(','), 0, 0);
        bool number = false;
        uid.toLongLong(&number);
        if (!number)
            continue;
        QFile form(folder.filePath(uid + QStringLiteral("_form.dll")));
        const QByteArray bytes = form.open(QIODevice::ReadOnly) ? form.readAll() : QByteArray();
        const bool stored =
            bytes.isEmpty()
                ? session.Execute(
                      QStringLiteral("UPDATE c_menu_dh_down SET form_0=NULL where uid_0=%1")
                          .arg(uid))
                : session.WriteBinary(
                      QStringLiteral("SELECT uid_0,form_0  FROM c_menu_dh_down where uid_0=%1")
                          .arg(uid),
                      {"form_0"}, {bytes});
        if (!stored)
            return fail(QStringLiteral("写入功能 %1 的表单失败").arg(uid));
    }
    // Another client may have merged the same version meanwhile.
    QString current;
    if (session.QueryValue(QStringLiteral("SELECT ver_1 FROM c_app WHERE uid_0=1"), current) &&
        current == download.version) {
        session.RollbackTrans();
        log(QStringLiteral("definitions already at version %1").arg(download.version));
        return true;
    }
    for (const QString& statement :
         MergeStatements(EngineProfile::OfKindText(download.dbKind), download.version))
        if (!session.Execute(statement))
            return fail(QStringLiteral("合并功能定义失败"));
    const QString clearSql = ReadText(folder.filePath(QStringLiteral("clear_sql.txt")));
    if (!clearSql.trimmed().isEmpty() && !session.Execute(clearSql))
        return fail(QStringLiteral("clear_sql.txt 执行失败"));
    if (!session.CommitTrans()) {
        error = session.Message();
        return false;
    }
    log(QStringLiteral("definitions merged: version %1").arg(download.version));
    return true;
}
