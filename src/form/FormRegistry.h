#pragma once
// The form windows of the process: the definition cache by menu uid and the registry of open
// (and hidden, re-usable) form windows, with what the last opener handed over.
#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QString>

#include <cstdint>

// What the opener of a form window hands to it.
struct FormOpenHandOff {
    QString definition;
    QString disabledControls; // first opener value
    QString hiddenControls;   // second opener value
    QString menuUid;
    QString menuName;
    QString formType;
};

// Registry entry of an open (or hidden, re-usable) form window.
struct OpenFormEntry {
    QString menuUid;
    bool active = false;
    QPointer<QDialog> parentForm;
};

class FormRegistry {
public:
    FormRegistry() = default;
    FormRegistry(const FormRegistry&) = delete;
    FormRegistry& operator=(const FormRegistry&) = delete;
    static FormRegistry& Instance();

    // Form definitions by menu uid, flushed by the main window after some hours.
    QHash<QString, QString> formCache;
    std::int64_t formCacheFlushTick = 0;

    // Open form windows, hidden ones included, for re-use and for closing at exit.
    QHash<QDialog*, OpenFormEntry> openForms;
    FormOpenHandOff handOff;
    // The main window while it exists; forms bring it to the front on a right click.
    QPointer<QWidget> mainWindow;
};
