#include "app/OpenBusinessFunction.h"

#include "app/Application.h"
#include "data/DbSession.h"
#include "form/FormDefinitionLoader.h"
#include "form/FormWindow.h"
#include "form/XmlDocument.h"
#include "platform/AppMessage.h"

OpenFunctionResult OpenBusinessFunction(Application& app, const QString& menuUid,
                                        const QString& menuName, FormWindow** opened) {
    if (opened)
        *opened = nullptr;
    FlushFormCacheIfStale(app.forms);

    QString definition = app.forms.formCache.value(menuUid);
    if (definition.isEmpty()) {
        DbSession session;
        bool loaded =
            session.Open() && LoadFormDefinition(app.forms, session, menuUid, definition) >= 0;
        session.Close();
        FormXml::XmlDocument check;
        if (!loaded || !check.LoadXml(definition)) {
            ShowAppMessage(QStringLiteral("Load失败"));
            return OpenFunctionResult::LoadFailed;
        }
    }

    FormWindow* form =
        FormWindow::OpenForm(definition, QString(), QString(), menuUid, menuName, QString());
    if (opened)
        *opened = form;
    return form ? OpenFunctionResult::Opened : OpenFunctionResult::NothingToOpen;
}
