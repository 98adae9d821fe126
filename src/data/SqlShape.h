#pragma once
// Just enough understanding of a SELECT to emulate updatable result sets: which table the rows
// come from, under which name, and where the select list stands so it can be replaced.
#include <QString>

struct SelectShape {
    QString baseTable; // as written, e.g. c_user or dbo.c_user
    QString rowPrefix; // alias when one is given, else the table name
    int listStart = 0; // select list: [listStart, listEnd)
    int listEnd = 0;
};

// Parses "SELECT [DISTINCT] [TOP n] list FROM table [[AS] alias] ...". A bare table name is
// taken as "SELECT * FROM name". Returns false when no base table can be found.
bool ParseSelectShape(const QString& sql, SelectShape& shape, QString& normalizedSql);

// True when the text is a plain identifier, possibly schema-qualified (letters, digits, "_").
bool IsPlainIdentifier(const QString& name);
