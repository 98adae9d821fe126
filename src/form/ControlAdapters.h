#pragma once
// What the form and its commands do with a control without knowing its widget class: read and
// set the text it shows, read and write the value a command takes from it or puts into it, empty
// it, and name the element its actions are found under. One adapter per control kind; the
// kind's row in the builder table holds it and AdapterOf (ControlBuilders.h) finds it from a
// widget.
#include <QLatin1String>

#include <array>

class QString;
class QWidget;
struct QMetaObject;

struct ControlAdapter {
    // The classes of the kind's widgets. A widget takes the adapter that names its own class or
    // the nearest base class, so a kind derived from another's widget class has its own.
    std::array<const QMetaObject*, 2> widgetClasses;
    QString (*text)(const QWidget* control);
    void (*setText)(QWidget* control, const QString& text);
    // What a command reads; null: the shown text.
    QString (*readValue)(const QWidget* control) = nullptr;
    // How a command writes a query value; null: as the shown text.
    void (*writeValue)(QWidget* control, const QString& value) = nullptr;
    // Emptied when a hidden form is reset for re-use; null: the control keeps what it shows.
    void (*reset)(QWidget* control) = nullptr;
    // The element tag its actions are found under; empty for kinds without actions of their own.
    QLatin1String eventTag{};
    // The tag for the Enter key when it differs (a picture's Enter runs tree-list actions).
    QLatin1String enterKeyTag{};
    // Its parent shows through it, so a text a command writes repaints the parent under it.
    bool seeThrough = false;
};

// The kinds, each named in its rows of the builder table.
extern const ControlAdapter kTextBoxAdapter;
extern const ControlAdapter kEditButtonAdapter;
extern const ControlAdapter kDropListAdapter;
extern const ControlAdapter kDateFieldAdapter;
extern const ControlAdapter kButtonAdapter;
extern const ControlAdapter kDrawnButtonAdapter;
extern const ControlAdapter kStaticAdapter;
extern const ControlAdapter kPictureAdapter;
extern const ControlAdapter kDrawingAdapter;
extern const ControlAdapter kGridAdapter;
extern const ControlAdapter kTreeAdapter;
extern const ControlAdapter kTreeListAdapter;
// A window of no control kind (the form itself, a part of a control): its title is its text.
extern const ControlAdapter kWindowAdapter;
