#pragma once
// Merging downloaded function definitions into the account set: the navigation entries and
// form buttons of the update folder replace c_menu_dh and c_menu_button whole, entries that got
// no new form keep the one they had, buttons keep their default state (sta_0), and ver_1 becomes
// the new definitions version. The package is read whole first: a file cut short or garbled
// stops it before anything is written. Then all of it, the scripts included, is one
// transaction: on any failure nothing of either table has changed.
#include <QString>
#include <QStringList>

#include <functional>

class DbSession;

struct DefinitionsDownload {
    QString folder;  // the update folder, with dh_menu.txt, menu_button.txt, ...
    QString version; // the definitions version they make
    QString dbKind;  // "1" SQL Server, "2" local file, "3" other
    // Fetches the form of entry `uid` into folder/<uid>_form.dll; false (with why) ends the merge.
    std::function<bool(const QString& uid, QString& why)> fetchForm;
};

// The lines of dh_menu.txt that no current entry has as it stands: their forms are fetched.
QStringList ChangedEntries(const QString& menuText, const QString& snapshotText);

// Reads every file of the package in `folder` to its end: the texts must be whole GBK, each
// navigation line eight values and each button line four (numbers and times where the columns
// take them, no key twice), at least one entry, and each form of `changedUids` that is not empty a
// definition that unpacks and parses. False with `error` naming the first fault.
bool CheckDefinitionsPackage(const QString& folder, const QStringList& changedUids, QString& error);

// Steps of the merge, each reported through `log`; false with `error` when it stopped (the
// account set is then as it was).
bool MergeDefinitions(DbSession& session, const DefinitionsDownload& download,
                      const std::function<void(const QString&)>& log, QString& error);
