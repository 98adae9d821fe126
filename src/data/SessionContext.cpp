#include "data/SessionContext.h"

#include "data/CfgFile.h"
#include "platform/Clock.h"

SessionContext::SessionContext() : startMinute_(platform::TickCountMs() / 60000) {}

SessionContext& SessionContext::Current() {
    static SessionContext context;
    return context;
}

SessionContext::StartUp SessionContext::StartUpIn(const QString& exeFolder,
                                                  const QString& exeVersion) {
    StartUp facts;
    facts.exeFolder = exeFolder;
    facts.exeVersion = exeVersion;
    facts.closeForReal = ReadCfg(exeFolder + QStringLiteral("cfg.ini"), QStringLiteral("SERVER"),
                                 QStringLiteral("CLOSE")) == QLatin1String("1");
    return facts;
}

void SessionContext::ApplyStartUp(const StartUp& facts) {
    exeFolder_ = facts.exeFolder;
    exeVersion_ = facts.exeVersion;
    closeForReal_ = facts.closeForReal;
    exeName_.Set(facts.exeName);
}

void SessionContext::ApplyUpdateFindings(const UpdateFindings& findings) {
    const auto apply = [](SharedText& fact, const std::optional<QString>& found) {
        if (found)
            fact.Set(*found);
    };
    apply(dbKind_, findings.dbKind);
    apply(appId_, findings.appId);
    apply(definitionsVersion_, findings.definitionsVersion);
    apply(companyName_, findings.companyName);
    apply(updateServer_, findings.updateServer);
    if (findings.updatePending)
        updatePending_ = true;
}

void SessionContext::SetGlobal(int slot, const QString& value) {
    if (slot >= 0 && slot < int(globals_.size()))
        globals_[size_t(slot)] = value;
}
