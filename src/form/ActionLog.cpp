#include "form/ActionLog.h"

#include "platform/Gbk.h"

#include <QSaveFile>

void WriteActionLog(const QString& exeFolder, const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    QSaveFile file(exeFolder + QStringLiteral("log_vemo.log"));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(platform::EncodeGbk(lines));
        file.commit();
    }
}
