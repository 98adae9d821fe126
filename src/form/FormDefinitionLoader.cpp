#include "form/FormDefinitionLoader.h"

#include "data/DbSession.h"
#include "form/DefinitionCodec.h"
#include "form/FormRegistry.h"
#include "platform/Clock.h"

void FlushFormCacheIfStale(FormRegistry& app) {
    const std::int64_t now = platform::TickCountMs();
    if (now - app.formCacheFlushTick > kFormCacheLifetimeMs) {
        app.formCache.clear();
        app.formCacheFlushTick = now;
    }
}

int LoadFormDefinition(FormRegistry& app, DbSession& session, const QString& menuUid, QString& text,
                       QString* error) {
    FlushFormCacheIfStale(app);
    if (!text.isEmpty())
        return 1;
    const auto cached = app.formCache.constFind(menuUid);
    if (cached != app.formCache.constEnd()) {
        text = *cached;
        return 1;
    }

    // Menu uids are integers; anything else (a value read from data, say) names no function
    // and never reaches the statement.
    bool isNumber = false;
    menuUid.toLongLong(&isNumber);
    QList<QByteArray> stored;
    if (!isNumber ||
        !session.ReadBinary(
            QStringLiteral("SELECT form_0 FROM c_menu_dh WHERE uid_0=%1").arg(menuUid),
            {QStringLiteral("form_0")}, stored) ||
        stored.isEmpty()) {
        text = QString::fromLatin1(kEmptyFormDefinition);
        return 0;
    }
    if (stored.first().isEmpty()) {
        if (error)
            *error = QStringLiteral("功能定义为空");
        return -1;
    }
    // A damaged value is reported like an empty one: the function cannot be opened.
    UnpackResult unpacked = UnpackDefinition(stored.first());
    if (!unpacked.ok) {
        if (error)
            *error = unpacked.error;
        return -1;
    }
    app.formCache.insert(menuUid, unpacked.text);
    text = unpacked.text;
    return 1;
}
