#pragma once
// The grid of a table element: its columns from the PARA blocks, and the column widths each user
// leaves, kept in cfg.ini [TABLECOLS].
#include "form/XmlDocument.h"
#include "widgets/GridView.h"

// Where a grid keeps the column widths its user chose.
struct GridWidthPlace {
    QString cfgPath;
    int menuUid = 0; // no width is kept for a grid outside a menu function
    int tableId = 0; // the table element's id
    QString userUid;

    // "T<menu>_<table>_<column number>_<user uid>"; columns count from 0 here.
    QString Key(int column) const;
};

// The columns of the table element, each defined width replaced by the one this user left.
GridSettings ReadGridSettings(const FormXml::XmlNode& table, const GridWidthPlace& place);

// Builds the grid's columns and has the widths the user drags from then on kept.
void SetUpGrid(GridView& grid, const FormXml::XmlNode& table, const GridWidthPlace& place);
