#pragma once
// Opening a business function by its menu uid: the step the navigation tree, the favourites
// and the headless runner share.
#include <QString>

class Application;
class FormWindow;

enum class OpenFunctionResult {
    Opened,        // a form window was created or a hidden one shown again
    NothingToOpen, // the definition is too short to be a form
    LoadFailed,    // no session, or the definition does not parse ("Load失败" was shown)
};

// Flushes the form-definition cache when it is older than its lifetime, reads the definition
// (cache first), checks that it parses and hands it to the form window. `opened` receives the
// window when one was opened or shown again.
OpenFunctionResult OpenBusinessFunction(Application& app, const QString& menuUid,
                                        const QString& menuName, FormWindow** opened = nullptr);
