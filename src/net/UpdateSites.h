#pragma once
// Host of the update server's site. Deployments build with their own host; VEMO_UPDATE_SITE
// overrides it (tests point it at a loopback server).
#include <QString>

inline QString UpdateSiteHost() {
    const QString overridden = qEnvironmentVariable("VEMO_UPDATE_SITE");
    return overridden.isEmpty() ? QStringLiteral("update.vemo-erp.cn") : overridden;
}
