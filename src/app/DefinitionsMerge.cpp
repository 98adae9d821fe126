#include "app/DefinitionsMerge.h"

#include "data/DbSession.h"
#include "platform/Gbk.h"

#include <QDir>
#include <QFile>

namespace {

QString ReadText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return platform::DecodeGbk(file.readAll());
}

// The statements of the merge by kind, one by one so that each one's failure is seen.
QStringList MergeStatements(const QString& kind, const QString& version) {
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
    if (kind == QLatin1String("2"))
        return {keepForms,
                QStringLiteral("DELETE FROM c_menu_dh"),
                entries,
                QStringLiteral("DELETE FROM c_menu_button"),
                buttons,
                QStringLiteral("UPDATE c_app SET ver_1='%1' WHERE uid_0=1").arg(quoted),
                QStringLiteral("DELETE FROM c_menu_dh_down")};
    if (kind == QLatin1String("1"))
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
    if (kind == QLatin1String("3"))
        return {keepForms,
                QStringLiteral("DELETE FROM c_menu_dh"),
                entries,
                keepStates,
                QStringLiteral("DELETE FROM c_menu_button"),
                buttons,
                QStringLiteral("UPDATE c_app SET ver_1='%1' WHERE uid_0=1").arg(quoted),
                QStringLiteral("DELETE FROM c_menu_dh_down")};
    return {};
}

} // namespace

QStringList ChangedEntries(const QString& menuText, const QString& snapshotText) {
    QStringList changed;
    for (const QString& line : menuText.split(QLatin1Char('\n')))
        if (!snapshotText.contains(line))
            changed.append(line);
    return changed;
}

bool MergeDefinitions(CDbSession& session, const DefinitionsDownload& download,
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
    for (const QString& line : changed) {
        const QString uid = line.section(QLatin1Char(','), 0, 0);
        if (!download.fetchForm(uid)) {
            error = QStringLiteral("下载功能 %1 的表单失败").arg(uid);
            return false;
        }
    }
    log(QStringLiteral("changed entries: %1").arg(changed.size()));

    if (!session.BeginTrans()) {
        error = session.Message();
        return false;
    }
    auto fail = [&](const QString& what) {
        error = what + QLatin1Char('\n') + session.Detail();
        session.RollbackTrans();
        return false;
    };
    const QString upSql = ReadText(folder.filePath(QStringLiteral("up_sql.txt")));
    if (!upSql.trimmed().isEmpty())
        download.dbKind == QLatin1String("2") ? session.ExecuteScript(upSql)
                                              : session.Execute(upSql);

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
    for (const QString& statement : MergeStatements(download.dbKind, download.version))
        if (!session.Execute(statement))
            return fail(QStringLiteral("合并功能定义失败"));
    const QString clearSql = ReadText(folder.filePath(QStringLiteral("clear_sql.txt")));
    if (!clearSql.trimmed().isEmpty())
        download.dbKind == QLatin1String("2") ? session.ExecuteScript(clearSql)
                                              : session.Execute(clearSql);
    if (!session.CommitTrans()) {
        error = session.Message();
        return false;
    }
    log(QStringLiteral("definitions merged: version %1").arg(download.version));
    return true;
}
