#pragma once
// The user's favourites: c_user.auth1_0 holds menu uids separated by commas, without commas
// around the list, in the order the user added them (for example "12,15,40").
#include <QString>

// The list after adding `uid`: an entry already present moves to the end.
QString AddFavourite(const QString& stored, const QString& uid);

// The list without `uid`; removing the only favourite gives an empty list.
QString RemoveFavourite(const QString& stored, const QString& uid);
