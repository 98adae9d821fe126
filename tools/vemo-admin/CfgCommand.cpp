#include "CfgCommand.h"

#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/ConnectionText.h"

#include <QDir>
#include <QFileInfo>

QString ConnectionTextOf(const ConnectionSettings& s) {
    switch (s.kind) {
    case ConnectionKind::SqlServer:
        return SqlServerConnectionText(s.host, s.port, s.database, s.user, s.password);
    case ConnectionKind::Postgres:
        return PostgresConnectionText(s.host, s.port, s.database, s.user, s.password);
    case ConnectionKind::LocalFile:
        break;
    }
    return AccessConnectionText(s.filePath);
}

bool WriteConnectionSettings(const QString& exeFolder, const ConnectionSettings& settings,
                             QString& error) {
    QDir folder(exeFolder);
    if (!folder.exists()) {
        error = QStringLiteral("文件夹不存在：%1").arg(exeFolder);
        return false;
    }
    ConnectionSettings s = settings;
    if (s.kind == ConnectionKind::LocalFile)
        s.filePath = QFileInfo(s.filePath).absoluteFilePath();
    const QString cfg = folder.absoluteFilePath(QStringLiteral("cfg.ini"));
    const QString scrambled = ScrambleCfgText(ConnectionTextOf(s), 1);
    WriteCfg(cfg, QStringLiteral("SERVER"), QStringLiteral("DTYPE"),
             QString::number(static_cast<int>(s.kind)));
    WriteCfg(cfg, QStringLiteral("SERVER"), QStringLiteral("NAME"), scrambled);
    WriteCfg(cfg, QStringLiteral("SERVER"), QStringLiteral("APPNAME"), QString());
    if (ReadCfg(cfg, QStringLiteral("SERVER"), QStringLiteral("NAME")).size() != scrambled.size()) {
        error = QStringLiteral("cfg.ini 写入失败：%1").arg(cfg);
        return false;
    }
    return true;
}
