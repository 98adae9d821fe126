#pragma once
// Account-set files the engine has reported damaged, for the whole process: once one statement
// finds a damaged page, every session refuses to write into that file, so a login stamp or a
// save never lands in it. The record lasts until the process ends; a file restored from its
// backup is used again by starting the client anew.
#include <QString>

void MarkAccountSetDamaged(const QString& path);
bool AccountSetDamaged(const QString& path);
// The refusal the user sees: the file and the day's backup copy to restore it from.
QString DamagedAccountSetMessage(const QString& path);
