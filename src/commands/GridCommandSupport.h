#pragma once
// What the grid commands share: finding their grid, reading column lists and colours, keeping
// row numbers and save states right, binding a row into SQL.
#include "form/XmlDocument.h"

#include <QList>
#include <QString>

class GridView;
class CommandContext;
struct CommandResult;

// The grid a reference text names. False (with the reference message) when the reference
// cannot be resolved; true with null when it names nothing or a control that is not a grid.
bool ResolveGrid(CommandContext& form, CommandResult& result, const QString& reference,
                 GridView*& grid);
// As ResolveGrid, and a reference that names no grid fails with the reference message too.
bool RequireGrid(CommandContext& form, CommandResult& result, const QString& reference,
                 GridView*& grid);
// The grid whose document id is `id`; null when there is none.
GridView* GridById(CommandContext& form, int id);
// The same, failing with the reference message when there is none.
bool RequireGridById(CommandContext& form, CommandResult& result, int id, GridView*& grid);

// `para_info_where`, or `para_info` when that is absent.
FormXml::XmlNode ParameterElement(const FormXml::XmlNode& command);

// A list of column numbers counted from 1 ("2;5" or "2,5") as 0-based indexes; pieces that are
// not a positive number are left out.
QList<int> ColumnIndexes(const QString& text, QChar separator);

// A colour text "r,g,b" as a grid colour; empty text gives `unset`. A malformed text is shown to
// the form author once and reads as red, as everywhere in a definition.
int ColorOf(const QString& text, int unset);

// A row whose cells changed in bulk is saved again: a saved row (state below 1) becomes 2.
void MarkChanged(GridView& grid, int row);
// Writes index + 1 into column 0 from `first` to the last row, marking the rows changed.
void Renumber(GridView& grid, int first);
// Whether the grid keeps row numbers in column 0 (its first title is a row-number title).
bool NumbersRows(const GridView& grid);

// "{{id?uid}}" becomes the row's key and "{{id?N}}" the escaped text of column N - base.
void BindGridRow(const GridView& grid, int row, QString& sql, int base);
