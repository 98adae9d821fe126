#include "form/FormLayout.h"

#include "form/XmlDocument.h"
#include "platform/ValueGrammars.h"

#include <QAbstractSlider>
#include <QEvent>
#include <QScrollBar>
#include <QSizeGrip>
#include <QSplitter>
#include <QStyle>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

// Hidden on purpose, as opposed to not shown yet because its window is not.
bool IsExplicitlyHidden(const QWidget* widget) {
    return widget->isHidden() && widget->testAttribute(Qt::WA_WState_ExplicitShowHide);
}

// A group: its members keep their own sizes and flow in lines (or columns) that wrap at the
// panel's edge. Reflowing on its own resize covers resizes that do not come from the layout,
// such as a splitter handle dragged by the user.
class FlowPanel : public QWidget {
public:
    FlowPanel(QWidget* parent, QSize spacing, bool leftToRight)
        : QWidget(parent), m_spacing(spacing), m_leftToRight(leftToRight) {}

    void AddMember(QWidget* member) { m_members.append(member); }

    void Reflow() {
        // Along the flow: x for left to right, y for top to bottom; across: the other one.
        const int limit = m_leftToRight ? width() : height();
        const int gapAlong = m_leftToRight ? m_spacing.width() : m_spacing.height();
        const int gapAcross = m_leftToRight ? m_spacing.height() : m_spacing.width();
        int along = 0;
        int across = 0;
        int lineExtent = 0;
        for (const QPointer<QWidget>& member : m_members) {
            if (!member || member->parentWidget() != this || IsExplicitlyHidden(member))
                continue;
            const QSize size = member->size();
            const int length = m_leftToRight ? size.width() : size.height();
            const int thickness = m_leftToRight ? size.height() : size.width();
            // The first item of a line stays on it even when it does not fit.
            if (along > 0 && along + length > limit) {
                along = 0;
                across += lineExtent + gapAcross;
                lineExtent = 0;
            }
            member->move(m_leftToRight ? QPoint(along, across) : QPoint(across, along));
            along += length + gapAlong;
            lineExtent = std::max(lineExtent, thickness);
        }
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        Reflow();
    }

private:
    QSize m_spacing;
    bool m_leftToRight;
    QList<QPointer<QWidget>> m_members;
};

struct Span {
    int start;
    int length;
};

// One axis of the anchor rules documented at FormAnchor.
Span AnchorSpan(int start, int length, int designExtent, int extent, bool nearEdge, bool farEdge,
                bool centre, bool keepFar) {
    const int delta = extent - designExtent;
    if (keepFar && delta < 0)
        return {start + delta, length};
    if (centre)
        return {start + static_cast<int>(std::floor(delta / 2.0)), length};
    if (nearEdge && farEdge)
        return {start, std::max(0, length + delta)};
    if (farEdge)
        return {start + delta, length};
    return {start, length};
}

QRect AnchoredRect(const QRect& design, QSize designContainer, QSize container, int director) {
    const Span x = AnchorSpan(design.x(), design.width(), designContainer.width(),
                              container.width(), director & AnchorLeft, director & AnchorRight,
                              director & AnchorCentreH, director & AnchorKeepRight);
    const Span y = AnchorSpan(design.y(), design.height(), designContainer.height(),
                              container.height(), director & AnchorTop, director & AnchorBottom,
                              director & AnchorCentreV, director & AnchorKeepBottom);
    return QRect(x.start, y.start, x.length, y.length);
}

// Moves `widget` under `parent` without changing whether it is meant to be shown: Qt hides a
// reparented widget until it is shown again.
void Reparent(QWidget* widget, QWidget* parent) {
    const bool hidden = IsExplicitlyHidden(widget);
    widget->setParent(parent);
    if (!hidden)
        widget->show();
}

} // namespace

FormLayout::FormLayout(QWidget* form) : QObject(form), m_form(form), m_grip(new QSizeGrip(form)) {
    m_grip->hide();
    WatchContainer(form);
}

FormLayout::~FormLayout() {
    delete m_grip;
}

void FormLayout::AddControl(QWidget* control, int director) {
    if (!control || control == m_form || IsManaged(control))
        return;
    Register(control, director);
}

QWidget* FormLayout::AddGroup(const QString& name, const QList<QWidget*>& members, QSize spacing,
                              bool leftToRight, int director, QWidget* container) {
    QWidget* parent = container ? container : m_form;
    QList<QWidget*> present;
    QRect area;
    for (QWidget* member : members) {
        if (!member || member == parent || present.contains(member))
            continue;
        present.append(member);
        const QPoint shift = OffsetInForm(member->parentWidget()) - OffsetInForm(parent);
        area |= member->geometry().translated(shift);
    }
    if (present.isEmpty())
        return nullptr;

    auto* panel = new FlowPanel(parent, spacing, leftToRight);
    panel->setObjectName(name);
    panel->setGeometry(area);
    for (QWidget* member : present) {
        Unregister(member);
        Reparent(member, panel);
        panel->AddMember(member);
    }
    panel->show();
    panel->Reflow();
    Register(panel, director);
    m_named.insert(name, panel);
    return panel;
}

QSplitter* FormLayout::AddSplit(const QString& name, QWidget* first, QWidget* second,
                                QWidget* container) {
    QWidget* parent = container ? container : m_form;
    if (!first || !second || first == second || first == parent || second == parent)
        return nullptr;
    const QRect firstRect =
        first->geometry().translated(OffsetInForm(first->parentWidget()) - OffsetInForm(parent));
    const QRect secondRect =
        second->geometry().translated(OffsetInForm(second->parentWidget()) - OffsetInForm(parent));
    const QPoint apart = secondRect.center() - firstRect.center();
    const bool sideBySide = std::abs(apart.x()) >= std::abs(apart.y());

    auto* splitter = new QSplitter(sideBySide ? Qt::Horizontal : Qt::Vertical, parent);
    splitter->setObjectName(name);
    // A pane dragged to nothing could not be found again by the user.
    splitter->setChildrenCollapsible(false);
    splitter->setGeometry(firstRect | secondRect);
    for (QWidget* pane : {first, second}) {
        Unregister(pane);
        const bool hidden = IsExplicitlyHidden(pane);
        splitter->addWidget(pane);
        if (!hidden)
            pane->show();
    }
    splitter->setSizes(sideBySide ? QList<int>{firstRect.width(), secondRect.width()}
                                  : QList<int>{firstRect.height(), secondRect.height()});
    splitter->show();
    Register(splitter, AnchorAll);
    m_named.insert(name, splitter);
    return splitter;
}

QWidget* FormLayout::Find(const QString& name) const {
    return m_named.value(name).data();
}

void FormLayout::Apply() {
    if (m_applying)
        return;
    m_applying = true;
    std::erase_if(m_items, [](const Item& item) { return item.widget.isNull(); });
    // Containers may be anchored items themselves, so outer items are placed first and the
    // items inside them then see their new size.
    std::vector<const Item*> order;
    order.reserve(m_items.size());
    for (const Item& item : m_items)
        order.push_back(&item);
    std::stable_sort(order.begin(), order.end(), [this](const Item* a, const Item* b) {
        return Depth(a->widget) < Depth(b->widget);
    });
    for (const Item* item : order) {
        QWidget* widget = item->widget;
        const QWidget* container = widget->parentWidget();
        if (!container)
            continue;
        widget->setGeometry(
            AnchoredRect(item->design, item->containerDesign, container->size(), item->director));
        // A hidden panel gets its resize event only when shown; flow it now.
        if (auto* panel = dynamic_cast<FlowPanel*>(widget))
            panel->Reflow();
    }
    PlaceGrip();
    m_applying = false;
}

void FormLayout::TakeFormSizeAsDesign(QSize size) {
    for (Item& item : m_items)
        if (item.widget && item.widget->parentWidget() == m_form)
            item.containerDesign = size;
}

void FormLayout::SetSizeGripVisible(bool visible) {
    m_grip->setVisible(visible);
    PlaceGrip();
}

bool FormLayout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize) {
        for (const QPointer<QWidget>& container : m_containers) {
            if (container == watched) {
                Apply();
                break;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void FormLayout::Register(QWidget* widget, int director) {
    QWidget* container = widget->parentWidget();
    if (!container)
        return;
    Unregister(widget);
    m_items.push_back({widget, director, widget->geometry(), container->size()});
    WatchContainer(container);
}

void FormLayout::Unregister(QWidget* widget) {
    std::erase_if(m_items, [widget](const Item& item) { return item.widget == widget; });
}

bool FormLayout::IsManaged(const QWidget* widget) const {
    const QWidget* parent = widget->parentWidget();
    if (!parent)
        return false;
    for (const QPointer<QWidget>& named : m_named) {
        if (named == parent)
            return true;
    }
    return false;
}

void FormLayout::WatchContainer(QWidget* container) {
    for (const QPointer<QWidget>& known : m_containers) {
        if (known == container)
            return;
    }
    m_containers.append(container);
    container->installEventFilter(this);
}

int FormLayout::Depth(const QWidget* widget) const {
    int depth = 0;
    for (const QWidget* w = widget; w && w != m_form; w = w->parentWidget())
        ++depth;
    return depth;
}

QPoint FormLayout::OffsetInForm(const QWidget* widget) const {
    QPoint offset;
    for (const QWidget* w = widget; w && w != m_form; w = w->parentWidget())
        offset += w->pos();
    return offset;
}

void FormLayout::PlaceGrip() {
    const QSize size = m_grip->sizeHint();
    m_grip->setGeometry(m_form->width() - size.width(), m_form->height() - size.height(),
                        size.width(), size.height());
    m_grip->raise();
}

void BuildResizableLayout(FormLayout& layout, const FormXml::XmlNode& dialog,
                          const std::function<QWidget*(int controlId)>& controlById) {
    const auto container = [&](const FormXml::XmlNode& node) -> QWidget* {
        const int desp = node.GetAttributeInt("desp", 0);
        return desp > 0 ? controlById(desp) : nullptr;
    };
    const FormXml::XmlNodes children = dialog.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i) {
        const FormXml::XmlNode node = children.GetItem(i);
        const QString tag = node.GetName();
        if (tag == QLatin1String("split")) {
            const QStringList panes = node.GetAttribute("value").split(u';');
            if (panes.size() < 2)
                continue;
            QWidget* pane[2] = {};
            for (int p = 0; p < 2; ++p) {
                pane[p] = panes[p].startsWith(u'T') ? layout.Find(panes[p])
                                                    : controlById(ParseIntegerText(panes[p]));
            }
            layout.AddSplit(node.GetAttribute("id"), pane[0], pane[1], container(node));
        } else if (tag == QLatin1String("group")) {
            const QString value = node.GetAttribute("value");
            if (value.isEmpty())
                continue;
            QList<QWidget*> members;
            for (const QString& id : value.split(u';', Qt::SkipEmptyParts)) {
                if (QWidget* control = controlById(ParseIntegerText(id)))
                    members.append(control);
            }
            const RectValue spacing = ParseRectText(node.GetAttribute("pos"));
            layout.AddGroup(QStringLiteral("T") + node.GetAttribute("id"), members,
                            QSize(spacing.Width(), spacing.Height()),
                            node.GetAttributeInt("style", 1) == 1,
                            node.GetAttributeInt("director", AnchorAll), container(node));
        } else {
            if (node.GetAttributeInt("hidden", 0) == 2)
                continue;
            if (QWidget* control = controlById(node.GetAttributeInt("id", 0)))
                layout.AddControl(control,
                                  node.GetAttributeInt("director", AnchorLeft | AnchorTop));
        }
    }
    layout.Apply();
}

ScrollLayout::ScrollLayout(QWidget* form, QStringView scrollText)
    : QObject(form), m_form(form), m_vertical(new QScrollBar(Qt::Vertical, form)),
      m_horizontal(new QScrollBar(Qt::Horizontal, form)) {
    const QList<QStringView> parts = scrollText.split(u',');
    m_content.setHeight(ParseIntegerText(parts[0]));
    if (parts.size() >= 2)
        m_content.setWidth(ParseIntegerText(parts[1]));

    for (QScrollBar* bar : {m_vertical, m_horizontal}) {
        bar->setSingleStep(1);
        bar->setRange(0, 0);
        bar->hide();
        connect(bar, &QScrollBar::valueChanged, this, &ScrollLayout::MoveContent);
        bar->installEventFilter(this);
    }
    connect(m_vertical, &QAbstractSlider::actionTriggered, this,
            [this](int action) { OnPageAction(m_vertical, action, kVerticalPageLines); });
    connect(m_horizontal, &QAbstractSlider::actionTriggered, this,
            [this](int action) { OnPageAction(m_horizontal, action, kHorizontalPageLines); });
    form->installEventFilter(this);
    UpdateRanges();
}

ScrollLayout::~ScrollLayout() {
    delete m_vertical;
    delete m_horizontal;
}

void ScrollLayout::UpdateRanges() {
    const int extent =
        m_form->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_vertical);
    const QSize size = m_form->size();
    // A bar shown narrows the client area, which may call for the other bar; the needs only
    // grow, so this settles within three rounds.
    bool needVertical = false;
    bool needHorizontal = false;
    int verticalMax = 0;
    int horizontalMax = 0;
    for (;;) {
        m_client = QSize(size.width() - (needVertical ? extent : 0),
                         size.height() - (needHorizontal ? extent : 0));
        verticalMax = std::max(0, (m_content.height() - m_client.height()) / kLinePixels);
        horizontalMax = std::max(0, (m_content.width() - m_client.width()) / kLinePixels);
        if ((verticalMax > 0) == needVertical && (horizontalMax > 0) == needHorizontal)
            break;
        needVertical = verticalMax > 0;
        needHorizontal = horizontalMax > 0;
    }

    // setRange clamps the positions, which moves the content through valueChanged.
    m_vertical->setRange(0, verticalMax);
    m_vertical->setPageStep(std::max(0, m_client.height() / kLinePixels));
    m_vertical->setGeometry(size.width() - extent, 0, extent, m_client.height());
    m_vertical->setVisible(needVertical);
    m_horizontal->setRange(0, horizontalMax);
    m_horizontal->setPageStep(std::max(0, m_client.width() / kLinePixels));
    m_horizontal->setGeometry(0, size.height() - extent, m_client.width(), extent);
    m_horizontal->setVisible(needHorizontal);
    m_vertical->raise();
    m_horizontal->raise();
}

bool ScrollLayout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_form && event->type() == QEvent::Resize) {
        UpdateRanges();
    } else if (event->type() == QEvent::Wheel) {
        // Partial notches (touchpads, fine wheels) add up until they make a whole one.
        m_wheelRemainder += static_cast<QWheelEvent*>(event)->angleDelta().y();
        const int notches = m_wheelRemainder / 120;
        m_wheelRemainder -= notches * 120;
        if (notches != 0)
            m_vertical->setValue(m_vertical->value() - notches * kWheelLines);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void ScrollLayout::OnPageAction(QScrollBar* bar, int action, int pageLines) {
    // The bar's page step sizes its thumb; a page click moves a fixed number of lines instead.
    // The action has moved the slider already, but value() is still the position before it.
    if (action == QAbstractSlider::SliderPageStepAdd)
        bar->setSliderPosition(bar->value() + pageLines);
    else if (action == QAbstractSlider::SliderPageStepSub)
        bar->setSliderPosition(bar->value() - pageLines);
}

void ScrollLayout::MoveContent() {
    const QPoint target(m_horizontal->value() * kLinePixels, m_vertical->value() * kLinePixels);
    const QPoint delta = target - m_applied;
    if (delta.isNull())
        return;
    for (QObject* child : m_form->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget == m_vertical || widget == m_horizontal || widget->isWindow())
            continue;
        widget->move(widget->pos() - delta);
    }
    m_applied = target;
}
