#pragma once
// Merging downloaded function definitions into the account set: the navigation entries and
// form buttons of the update folder replace c_menu_dh and c_menu_button whole, entries that got
// no new form keep the one they had, and ver_1 becomes the new definitions version. All of it is
// one transaction: on any failure nothing of either table has changed.
#include <QString>
#include <QStringList>

#include <functional>

class CDbSession;

struct DefinitionsDownload {
    QString folder;  // the update folder, with dh_menu.txt, menu_button.txt, ...
    QString version; // the definitions version they make
    QString dbKind;  // "1" SQL Server, "2" local file, "3" other
    // Fetches the form of entry `uid` into folder/<uid>_form.dll; false ends the merge.
    std::function<bool(const QString& uid)> fetchForm;
};

// The lines of dh_menu.txt that no current entry has as it stands: their forms are fetched.
QStringList ChangedEntries(const QString& menuText, const QString& snapshotText);

// Steps of the merge, each reported through `log`; false with `error` when it stopped (the
// account set is then as it was).
bool MergeDefinitions(CDbSession& session, const DefinitionsDownload& download,
                      const std::function<void(const QString&)>& log, QString& error);
