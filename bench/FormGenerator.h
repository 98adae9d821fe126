#pragma once
// Generated form definitions for the benchmarks. One description in code gives both the
// system's XML definition and an equivalent Qt Designer .ui file, so the two loaders build the
// same widgets.
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <vector>

namespace bench {

struct FormControl {
    enum class Kind { TextBox, List, Button, Grid };
    Kind kind = Kind::TextBox;
    int id = 0;
    QRect rect;
    QString text;      // caption or initial text
    QStringList items; // list entries, grid column titles
};

struct FormDescription {
    QString title;
    QSize size;
    std::vector<FormControl> controls;
    // One query run when the form opens: its values go into the text boxes `initTargets`.
    QString initQuery;
    QList<int> initTargets;
};

// `controls` controls in rows: text boxes, drop-down lists and buttons, and one grid of
// `gridColumns` columns at the bottom.
FormDescription MakeBenchForm(int controls, int gridColumns);
QString ToDefinitionXml(const FormDescription& form);
QString ToUiXml(const FormDescription& form);

// A definition as business forms are written (controls with captions, actions with SQL, grid
// columns), of at least `chars` characters; the same text for the same size.
QString MakeLargeDefinition(qsizetype chars);

} // namespace bench
