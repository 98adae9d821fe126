#pragma once
// The body layouts of a form window: the resizable layout (anchored controls, flow groups and
// splitters, re-applied whenever the form or a container is resized) and the scrolling layout
// (content moved in lines of 20 pixels under the form's own scroll bars).
//
// Both attach to an existing form widget whose children are the controls, placed absolutely by
// their `pos`, and leave the controls' creation to the form window. A form uses one or the other.
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QScrollBar>
#include <QSize>
#include <QSizeGrip>
#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

class QSplitter;
class QWidget;

namespace FormXml {
class XmlNode;
}

// Anchor bits of the `director` attribute of controls and groups.
//
// Along each axis the first rule that applies decides, distances being taken against the
// container's size when the item was registered (its design size):
//   - keep-far (64 horizontally, 128 vertically): while the container is smaller than its design
//     size along that axis, the item keeps its design size and its distance to the right (or
//     bottom) edge, so it slides towards the left (or top) instead of shrinking or being cut off;
//   - centring (16, 32): the item keeps its size and its offset from the container's centre;
//     centring wins over the edge bits of its axis;
//   - both edges (1 and 4, 2 and 8): the item stretches with the container (never below 0);
//   - far edge only (4, 8): the item keeps its size and its distance to the right (bottom) edge;
//   - otherwise (near edge or no bit): the item keeps its size and place.
enum FormAnchor : int {
    AnchorLeft = 1,
    AnchorTop = 2,
    AnchorRight = 4,
    AnchorBottom = 8,
    AnchorCentreH = 16,
    AnchorCentreV = 32,
    AnchorKeepRight = 64,
    AnchorKeepBottom = 128,
    AnchorAll = AnchorLeft | AnchorTop | AnchorRight | AnchorBottom,
};

// The resizable layout. Every registered item is positioned against its container (the form, or
// the container control given at registration) from its design rectangle; Apply re-derives all
// positions, so it may run any number of times. The layout re-applies itself when the form or
// a container is resized; call Apply once after registering everything.
class FormLayout : public QObject {
    Q_OBJECT
public:
    explicit FormLayout(QWidget* form);
    // Removes the size grip; groups and splitters stay with the controls they hold.
    ~FormLayout() override;

    QWidget* Form() const { return m_form; }

    // Anchors a control with `director` bits, against its parent widget at its current size.
    // A control already placed in a group or splitter is managed there and is not anchored.
    void AddControl(QWidget* control, int director);

    // Creates a flow-layout panel named `name` over the union of the members' rectangles,
    // moves the members into it in the given order and anchors it with `director` against
    // `container` (the form when null). Members keep their sizes and flow left to right,
    // wrapping into lines, or top to bottom, wrapping into columns, with `spacing` between
    // neighbours and between lines; explicitly hidden members take no place. Null members are
    // skipped; without any member nothing is created and the result is null.
    QWidget* AddGroup(const QString& name, const QList<QWidget*>& members, QSize spacing,
                      bool leftToRight, int director, QWidget* container = nullptr);

    // Creates a user-draggable splitter named `name` over the union of both panes' rectangles,
    // anchored to all four sides of `container` (the form when null). The panes side by side
    // (their centres further apart horizontally than vertically) give a horizontal splitter,
    // otherwise a vertical one; each starts at its own width (height). A pane may be a control
    // or a group or splitter made earlier. Null when either pane is missing.
    QSplitter* AddSplit(const QString& name, QWidget* first, QWidget* second,
                        QWidget* container = nullptr);

    // A group or splitter by name; null when there is none.
    QWidget* Find(const QString& name) const;

    // Positions every registered item for the current container sizes and places the size grip.
    void Apply();

    // Makes `size` the form size the form's own items were designed for, so that a form that
    // gets this size keeps them where they are.
    void TakeFormSizeAsDesign(QSize size);

    // The size grip in the form's bottom-right corner (top-level forms show it). Hidden until
    // asked for.
    void SetSizeGripVisible(bool visible);
    QSizeGrip* SizeGrip() const { return m_grip; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Item {
        QPointer<QWidget> widget;
        int director = 0;
        QRect design;          // in the container's coordinates
        QSize containerDesign; // the container's size at registration
    };

    void Register(QWidget* widget, int director);
    void Unregister(QWidget* widget);
    bool IsManaged(const QWidget* widget) const;
    void WatchContainer(QWidget* container);
    int Depth(const QWidget* widget) const;
    QPoint OffsetInForm(const QWidget* widget) const;
    void PlaceGrip();

    QWidget* m_form;
    QPointer<QSizeGrip> m_grip;
    std::vector<Item> m_items;
    QHash<QString, QPointer<QWidget>> m_named;
    QList<QPointer<QWidget>> m_containers;
    bool m_applying = false;
};

// Registers the layout elements of a form's `body/dialog` in document order and applies the
// layout once:
//   - `split`: the two ";"-separated panes of `value` ("T…" names a group or splitter, anything
//     else is a control id), inside control `desp` when positive;
//   - `group`: the ";"-separated control ids of `value` as the group "T" + `id`, spacing from
//     `pos` (right − left, bottom − top), left to right when `style` is 1 (the default),
//     anchored with `director` (default 15), inside control `desp` when positive; an empty
//     `value` creates nothing;
//   - any other element: control `id` anchored with `director` (default 3), unless its
//     `hidden` is 2.
// `controlById` gives the control of a document id, or null.
void BuildResizableLayout(FormLayout& layout, const FormXml::XmlNode& dialog,
                          const std::function<QWidget*(int controlId)>& controlById);

// The scrolling layout of a form whose head `scroll` is "height[,width]" (content size in
// pixels). The form gets its own vertical and horizontal scroll bars along its right and bottom
// edges; the client area is the form minus the bars shown. Positions are in lines of 20 pixels:
// the vertical range is 0 to (height − client height) ÷ 20 with a page of client height ÷ 20
// (the thumb's share), likewise horizontally from the width (no width: no horizontal range).
// A page click moves 10 lines vertically and 5 horizontally; the mouse wheel moves 5 lines per
// notch, clamped at the ends. Scrolling moves the form's child widgets (the bars excepted) by
// 20 pixels per line; the background drawn by the form stays in client coordinates. On every
// resize of the form the ranges are recomputed and the positions clamped.
class ScrollLayout : public QObject {
    Q_OBJECT
public:
    static constexpr int kLinePixels = 20;
    static constexpr int kVerticalPageLines = 10;
    static constexpr int kHorizontalPageLines = 5;
    static constexpr int kWheelLines = 5;

    ScrollLayout(QWidget* form, QStringView scrollText);
    // Removes the scroll bars; the content stays where it was scrolled to.
    ~ScrollLayout() override;

    // The content size read from the `scroll` text; width 0 when absent.
    QSize ContentSize() const { return m_content; }
    // The form's size minus the scroll bars shown.
    QSize ClientSize() const { return m_client; }
    // Positions, ranges and page sizes in lines.
    QScrollBar* VerticalBar() const { return m_vertical; }
    QScrollBar* HorizontalBar() const { return m_horizontal; }
    // The content offset in pixels currently applied to the child widgets.
    QPoint Offset() const { return m_applied; }

    // Recomputes the client size and the ranges from the form's size; runs on every resize.
    void UpdateRanges();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnPageAction(QScrollBar* bar, int action, int pageLines);
    void MoveContent();

    QWidget* m_form;
    QPointer<QScrollBar> m_vertical;
    QPointer<QScrollBar> m_horizontal;
    QSize m_content;
    QSize m_client;
    QPoint m_applied;
    int m_wheelRemainder = 0;
};
