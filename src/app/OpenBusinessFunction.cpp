#include "app/OpenBusinessFunction.h"

#include "app/MainApp.h"
#include "data/DbSession.h"
#include "form/D_T1.h"
#include "form/FormDefinitionLoader.h"
#include "form/XmlDocument.h"
#include "platform/AppMessage.h"

OpenFunctionResult OpenBusinessFunction(CMainApp& app, const QString& menuUid,
                                        const QString& menuName, D_T1** opened) {
    if (opened)
        *opened = nullptr;
    FlushFormCacheIfStale(app.forms);

    QString definition = app.formCache.value(menuUid);
    if (definition.isEmpty()) {
        CDbSession session;
        bool loaded =
            session.Open() && LoadFormDefinition(app.forms, session, menuUid, definition) >= 0;
        session.Close();
        ZUDad::CXmlDocument check;
        if (!loaded || !check.LoadXml(definition)) {
            ShowAppMessage(QStringLiteral("Load失败"));
            return OpenFunctionResult::LoadFailed;
        }
    }

    D_T1* form = D_T1::OpenForm(definition, QString(), QString(), menuUid, menuName, QString());
    if (opened)
        *opened = form;
    return form ? OpenFunctionResult::Opened : OpenFunctionResult::NothingToOpen;
}
