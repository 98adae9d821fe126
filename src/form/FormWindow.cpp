#include "form/FormWindow.h"

#include "data/ConnectionText.h"
#include "form/CellEditSteps.h"
#include "form/ControlValues.h"
#include "form/FormBackground.h"
#include "form/FormControls.h"
#include "form/FormDefinitionLoader.h"
#include "form/FormLayout.h"
#include "net/PictureDownloads.h"
#include "platform/AppMessage.h"
#include "widgets/BackgroundDrag.h"
#include "widgets/EditWithButton.h"
#include "widgets/GridView.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <cmath>
#include <random>

namespace {

// The local text session: an in-memory engine, with text files of the exe folder at hand.
QString TextSessionConnection(const QString& exeFolder) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Extended "
                          "Properties=text;Persist Security Info=False;")
        .arg(exeFolder);
}

// The frame the window manager gave the last framed form. A window is framed only once it is
// shown, and not while hidden; every form gets the same frame, so this one fits a form to its
// placement before its own frame is known.
QMargins& LastFrameMargins() {
    static QMargins margins;
    return margins;
}

} // namespace

FormWindow::FormWindow(QWidget* parent)
    : QDialog(parent), Session(DbSession::FromConfig), controls_(std::make_unique<FormControls>()) {
    accountSetConnection_ = Session.ConnectionString();
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QStringLiteral("XXX"));
    setSizeGripEnabled(false);
    // A left press on the background of a top-level form drags the window; a page's does not.
    new BackgroundDrag(this, [this] { return !embedded; });
    // A background picture from an http address is drawn once it has been downloaded.
    connect(&PictureDownloads::Instance(), &PictureDownloads::arrived, this, [this] { update(); });
}

FormWindow::~FormWindow() {
    closing_ = true;
    StopBackgroundWorker();
    if (timerId_)
        killTimer(timerId_);
    FormRegistry::Instance().openForms.remove(this);
}

FormWindow* FormWindow::OpenForm(const QString& definition, const QString& disableList,
                                 const QString& hideList, const QString& menuUid,
                                 const QString& menuName, const QString& formType) {
    FormRegistry& app = FormRegistry::Instance();
    app.handOff = FormOpenHandOff{definition, disableList, hideList, menuUid, menuName, formType};
    if (definition.size() < 20)
        return nullptr;
    const QString uid = QString::number(menuUid.toInt());
    for (auto it = app.openForms.cbegin(); it != app.openForms.cend(); ++it) {
        if (it.value().menuUid == uid && !it.value().parentForm) {
            auto* existing = qobject_cast<FormWindow*>(it.key());
            if (existing) {
                existing->ShowAgain();
                return existing;
            }
        }
    }
    auto* form = new FormWindow(nullptr);
    app.openForms.insert(form, OpenFormEntry{uid, true, nullptr});
    form->LoadDefinition(definition);
    form->disableList = disableList;
    form->hideList = hideList;
    form->menuUid = menuUid;
    form->menuName = menuName;
    form->formType = formType;
    form->Build();
    return form;
}

void FormWindow::LoadDefinition(const QString& definition) {
    document.LoadXml(definition);
}

void FormWindow::Build() {
    const SessionContext& app = SessionContext::Current();
    if (document.IsEmpty()) {
        if (!embedded && !popupFlag)
            show();
        return;
    }
    // Creation step.
    controls_->CreateControls(*this, document);
    for (QWidget* control : controls_->Controls())
        control->installEventFilter(this);
    TextSession.SetConnectionString(TextSessionConnection(app.exeFolder));
    if (!TextSession.Open())
        ShowAppMessage(QStringLiteral("本地引擎加载失败,请联系管理员."));

    // Initialisation.
    ApplyHead();
    if (!embedded && !popupFlag) {
        if (state_.head.style == 1)
            showMaximized();
        else
            show();
    }
    if (!popupFlag)
        RunStartup();
    firstPaint_ = true;
    if (state_.head.timerButtonId > 0 && state_.head.timerIntervalMs > 0)
        timerId_ = startTimer(state_.head.timerIntervalMs);
    if (state_.head.drawMethod == QLatin1String("1"))
        StartBackgroundWorker();
}

void FormWindow::ApplyHead() {
    const FormXml::XmlNode head = document.SelectSingleNode("//html/head");
    state_.head.drawMethod = head.GetAttribute("draw_method");
    state_.head.scroll = head.GetAttribute("scroll");
    state_.head.bg = head.GetAttributeInt("bg", 0);
    if (!embedded) {
        setWindowTitle(head.GetAttribute("title"));
        state_.head.style = head.GetAttributeInt("style", 0);
        state_.head.timerButtonId = head.GetAttributeInt("thread_id", 0);
        state_.head.timerIntervalMs = head.GetAttributeInt("time_split", 0);
        state_.head.parentBtn = head.GetAttributeInt("parent_btn", 0);
        const QString pos = head.GetAttribute("pos");
        if (pos != QLatin1String("0"))
            CenterOn(ParseRectText(pos));
        ShowOpenerValue();
    }

    const FormXml::XmlNode dialog =
        document.GetRoot().GetChild("body", true).GetChild("dialog", true);
    if (!state_.head.scroll.isEmpty()) {
        scrollLayout_ = new ScrollLayout(this, state_.head.scroll);
    } else {
        layout_ = new FormLayout(this);
        BuildResizableLayout(*layout_, dialog, [this](int id) -> QWidget* {
            return controls_->KeepsOutOfLayout(id) ? nullptr
                                                   : ControlByWindowId(WindowIdOfDocumentId(id));
        });
        layout_->SetSizeGripVisible(!embedded);
        layout_->Apply();
    }
    if (state_.head.bg < 0)
        setWindowOpacity(std::min(255, -state_.head.bg) / 255.0);
    ApplyFrameStyle();
}

void FormWindow::ShowOpenerValue() {
    const FormXml::XmlNode head = document.SelectSingleNode("//html/head");
    const FormXml::XmlNode inId = head.GetChild("in_id");
    if (!inId.IsEmpty() && inId.GetValueInt(0) != 0)
        if (QWidget* target =
                ControlByWindowId(WindowIdOfDocumentId(head.GetAttributeInt("in_id", 0))))
            SetControlText(target, openerValue);
}

void FormWindow::CenterOn(const RectValue& rect) {
    // Centred on the work area, leaving room at the left for the main window (325 pixels).
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int dx = std::max(0, (work.width() - width - 325) / 2);
    const int dy = (work.height() - height) / 2;
    placement_ = QRect(rect.left + dx, rect.top + dy, std::max(0, width), std::max(0, height));
    FitFrameToPlacement();
}

void FormWindow::FitFrameToPlacement() {
    if (!placement_ || isMaximized() || fullScreen_)
        return;
    const QMargins margins = FrameMargins();
    const QSize inside(std::max(0, placement_->width() - margins.left() - margins.right()),
                       std::max(0, placement_->height() - margins.top() - margins.bottom()));
    // The controls were laid out for the inside the old margins left; a frame is not the
    // user's resize, so they keep their places in the new inside.
    if (layout_ && margins != placedWithMargins_)
        layout_->TakeFormSizeAsDesign(inside);
    placedWithMargins_ = margins;
    // A fixed-size frame style pins the inside, so it is unpinned to be fitted and pinned again.
    const bool fixed = minimumSize() == maximumSize() && minimumSize() != QSize(0, 0);
    if (fixed)
        setFixedSize(inside);
    else
        resize(inside);
    // A top-level window's position is its frame's.
    move(placement_->topLeft());
}

QMargins FormWindow::FrameMargins() const {
    const QMargins framed = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    // Forms without a caption have frames of their own.
    if (windowFlags() & (Qt::FramelessWindowHint | Qt::CustomizeWindowHint))
        return framed;
    if (framed.isNull())
        return LastFrameMargins();
    LastFrameMargins() = framed;
    return framed;
}

void FormWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FitFrameToPlacement();
}

void FormWindow::ApplyFrameStyle() {
    Qt::WindowFlags flags = windowFlags();
    switch (state_.head.style) {
    case 2:
        flags &= ~Qt::WindowMaximizeButtonHint;
        setFixedSize(size());
        break;
    case 3:
        // No caption, but the sizing border stays: the window can still be resized.
        flags |= Qt::CustomizeWindowHint;
        flags &= ~(Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinMaxButtonsHint);
        break;
    case 4:
        flags |= Qt::FramelessWindowHint;
        flags &= ~Qt::WindowMaximizeButtonHint;
        setFixedSize(size());
        break;
    default:
        if (!embedded)
            flags |= Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint;
        break;
    }
    if (embedded)
        flags = Qt::Widget;
    setWindowFlags(flags);
}

QWidget* FormWindow::ControlByWindowId(int windowId) const {
    return controls_->ControlByWindowId(windowId);
}

QString FormWindow::ExpandPlaceholders(const QString& text) const {
    return ::ExpandPlaceholders(text, *this, SessionContext::Current());
}

QString FormWindow::ExpandStatementPlaceholders(const QString& text) const {
    return ::ExpandPlaceholders(text, *this, SessionContext::Current(), PlaceholderUse::Statement);
}

std::optional<QString> FormWindow::PickListOwnerText() const {
    if (!popupFlag || !openerEditBox)
        return std::nullopt;
    return ControlText(openerEditBox);
}

FormXml::XmlNode FormWindow::FindEventElement(int windowId, const QString& event) const {
    QWidget* control = ControlByWindowId(windowId);
    if (!control || control == this)
        return {};
    const QString tag = EventTagOf(control, event == QLatin1String("ENTER"));
    if (tag.isEmpty())
        return {};
    return document.SelectSingleNode(
        QStringLiteral("//html[@id=%1]/body/dialog/%2[@id=%3]/ACTION/%4")
            .arg(formId, tag)
            .arg(DocumentIdOfWindowId(windowId))
            .arg(event));
}

QWidget* FormWindow::CreateEmbeddedForm(const FormXml::XmlNode& html, QWidget* page) {
    auto* form = new FormWindow(page);
    form->embedded = true;
    form->parentForm = this;
    form->formId = html.GetAttribute("id");
    form->menuUid = menuUid;
    form->menuName = menuName;
    form->formType = formType;
    form->setWindowFlags(Qt::Widget);
    form->document.LoadElement(html);
    form->Build();
    form->show();
    return form;
}

bool FormWindow::RunEndEdit(GridView& grid, int row, int column) {
    const EndEditForm form{
        document,
        formId,
        Session,
        this,
        [this](int windowId) { return ControlByWindowId(windowId); },
        [this](const QString& text) { return ExpandStatementPlaceholders(text); }};
    return RunColumnEndEdit(form, grid, row, column);
}

bool FormWindow::RunPopupForm(const PopupFormRequest& request, QString& returned) {
    const QStringList parts = request.popupValue.split(QLatin1Char(':'));
    FormWindow popup(this);
    popup.parentForm = this;
    popup.openerEditBox = request.opener;
    popup.popupFlag = true;
    QString slot;
    popup.returnSlot_ = &slot;
    popup.columnOffset = request.columnOffset;
    popup.openerValue = request.openerValue;
    const QString menuPart = parts.value(1);
    if (menuPart.isEmpty()) {
        popup.formId = request.popupValue;
        popup.LoadDefinition(request.popupDocument);
    } else {
        QString definition;
        if (!StoredDefinition(menuPart, definition))
            return false;
        popup.formId = QStringLiteral("0");
        popup.menuUid = menuPart;
        popup.disableList = parts.value(2);
        popup.hideList = parts.value(3);
        popup.LoadDefinition(definition);
    }
    popup.Build();
    popup.RunStartup();
    if (popup.exec() != QDialog::Accepted)
        return false;
    returned = slot;
    return true;
}

bool FormWindow::OpenDialogForm(const DialogFormRequest& request) {
    QString definition;
    if (request.nested.IsEmpty() ? !StoredDefinition(request.menuUid, definition)
                                 : (definition = request.nested.GetXml()).isEmpty())
        return false;
    QPointer<FormWindow> self(this);
    runner_.AfterAction([self, request, definition] {
        if (self)
            self->ShowDialogForm(request, definition);
    });
    return true;
}

void FormWindow::ShowDialogForm(const DialogFormRequest& request, const QString& definition) {
    // One pop-up per function (or nested document) and opener.
    const QString key =
        request.nested.IsEmpty()
            ? QString::number(request.menuUid.toInt())
            : QStringLiteral("%1/%2").arg(menuUid, request.nested.GetAttribute("id"));
    FormRegistry& app = FormRegistry::Instance();
    FormWindow* popup = nullptr;
    for (auto it = app.openForms.cbegin(); it != app.openForms.cend() && !popup; ++it)
        if (it->parentForm == this && it->menuUid == key)
            popup = qobject_cast<FormWindow*>(it.key());
    if (popup) {
        popup->openerValue = request.openerValue;
        if (popup->isVisible()) {
            popup->raise();
            popup->activateWindow();
        } else {
            popup->ShowAgain();
        }
    } else {
        popup = new FormWindow(this);
        popup->LoadDefinition(definition);
        popup->parentForm = this;
        popup->formId =
            request.nested.IsEmpty() ? QStringLiteral("0") : request.nested.GetAttribute("id");
        popup->menuUid = request.nested.IsEmpty() ? request.menuUid : menuUid;
        popup->menuName = menuName;
        popup->formType = request.formType;
        popup->disableList = request.disableList;
        popup->hideList = request.hideList;
        // Handed over before the start-up action, which may show or query by it.
        popup->openerValue = request.openerValue;
        app.openForms.insert(popup, OpenFormEntry{key, true, this});
        popup->Build();
    }
    if (request.whenOpen)
        request.whenOpen(*popup);
}

bool FormWindow::StoredDefinition(const QString& uid, QString& definition) {
    FormRegistry& app = FormRegistry::Instance();
    definition = app.formCache.value(uid);
    if (!definition.isEmpty())
        return true;
    DbSession session(DbSession::FromConfig);
    if (!session.Open())
        return false;
    const bool loaded = LoadFormDefinition(app, session, uid, definition) > 0;
    session.Close();
    return loaded;
}

// --- Closing, hiding and showing again ---

void FormWindow::closeEvent(QCloseEvent* event) {
    // A request still running holds this form's action on the stack.
    if (waitingOffInterface_ > 0) {
        event->ignore();
        return;
    }
    const SessionContext& app = SessionContext::Current();
    const bool markedForReal = property("closeForReal").toBool();
    // The user's close (the close box); the client's own exit marks its forms first. A close
    // the form's actions ask for (`close`, return_selected) ends the dialog without coming here.
    if (!markedForReal && !MayDiscardLineEdits()) {
        event->ignore();
        return;
    }
    if (!app.closeForReal && !markedForReal && !popupFlag && state_.head.timerButtonId == 0 &&
        !embedded) {
        event->ignore();
        HideForReuse();
        return;
    }
    // A timer form is never kept: its timer would go on raising actions while hidden.
    setProperty("closeForReal", true);
    event->accept();
    CloseForReal();
}

HttpSession& FormWindow::WebSession() {
    if (!webSession_)
        webSession_ = std::make_unique<HttpSession>();
    return *webSession_;
}

void FormWindow::WaitOffInterface(const std::function<void()>& work) {
    ++waitingOffInterface_;
    QEventLoop loop;
    std::thread worker([&] {
        work();
        // Queued: the loop may not have started yet.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    --waitingOffInterface_;
}

void FormWindow::HideForReuse() {
    // Connections kept open for the form's requests end with it, as when it closes for real.
    if (waitingOffInterface_ == 0)
        webSession_.reset();
    FormRegistry& app = FormRegistry::Instance();
    auto entry = app.openForms.find(this);
    if (entry != app.openForms.end())
        entry->active = false;
    hide();
    ResetContents();
    // Child pop-ups registered under this form go with it.
    for (auto it = app.openForms.begin(); it != app.openForms.end(); ++it)
        if (it->parentForm == this)
            if (auto* child = qobject_cast<FormWindow*>(it.key()))
                child->HideForReuse();
}

void FormWindow::StopButtonTimer() {
    if (timerId_)
        killTimer(timerId_);
    timerId_ = 0;
}

void FormWindow::CloseForReal() {
    closing_ = true;
    if (waitingOffInterface_ == 0)
        webSession_.reset();
    if (state_.head.timerButtonId > 0 && state_.head.timerIntervalMs >= 2000)
        StopButtonTimer();
    StopBackgroundWorker();
    if (popupFlag) {
        QDialog::reject(); // ends the modal run with Cancel; the opener owns the object
        return;
    }
    FormRegistry::Instance().openForms.remove(this);
    deleteLater();
}

bool FormWindow::HoldsUnsavedLineEdits() {
    if (!state_.deletedKeys.isEmpty())
        return true;
    for (QWidget* control : controls_->Controls()) {
        auto* grid = qobject_cast<GridView*>(control);
        if (!grid)
            continue;
        if (grid->IsEditing())
            grid->EndEdit(1);
        if (grid->HasUnsavedEdits())
            return true;
    }
    return false;
}

bool FormWindow::MayDiscardLineEdits() {
    if (embedded)
        return true;
    bool pending = HoldsUnsavedLineEdits();
    for (FormWindow* page : findChildren<FormWindow*>())
        pending = pending || (page->embedded && page->HoldsUnsavedLineEdits());
    if (!pending)
        return true;
    return ShowAppMessage(QStringLiteral("明细已修改，是否放弃修改？"), QStringLiteral("操作确认"),
                          MessageButtons::YesNo, this) == MessageAnswer::Yes;
}

void FormWindow::ResetContents() {
    eventsSuppressed = true;
    openerValue.clear();
    // The emptied grids leave no deleted lines behind for a later save.
    state_.deletedKeys.clear();
    for (QWidget* control : controls_->Controls())
        ResetControl(control);
    eventsSuppressed = false;
}

void FormWindow::ShowAgain() {
    state_.closeAfterAction = false;
    FormRegistry& app = FormRegistry::Instance();
    auto entry = app.openForms.find(this);
    if (entry != app.openForms.end())
        entry->active = true;
    show();
    raise();
    activateWindow();
    // The reset emptied the box that shows the opener's value; a pop-up may have a new one.
    ShowOpenerValue();
    RunStartup();
}

// --- Painting, mouse, timer ---

void FormWindow::SetDrawMethod(const QString& method) {
    state_.head.drawMethod = method;
    // The scene's worker, once started, runs until the form closes; other methods just stop
    // showing its frames.
    if (state_.head.drawMethod == QLatin1String("1") && !worker_.joinable() && !closing_)
        StartBackgroundWorker();
    update();
}

void FormWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawFormBackground(painter, document.SelectSingleNode("//html/head"), size(),
                       controls_->DefaultFont(), SessionContext::Current().exeFolder);
    std::lock_guard lock(sceneLock_);
    if (!frame_.isNull() && state_.head.drawMethod == QLatin1String("1"))
        painter.drawImage(0, 0, frame_);
}

void FormWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        if (QWidget* main = FormRegistry::Instance().mainWindow) {
            // Out of the task bar, but as large as the user left it.
            main->setWindowState(main->windowState() & ~Qt::WindowMinimized);
            main->show();
            main->raise();
            main->activateWindow();
        }
    }
    QDialog::mousePressEvent(event);
}

void FormWindow::moveEvent(QMoveEvent* event) {
    controls_->HidePickLists();
    if (placement_ && FrameMargins() != placedWithMargins_)
        FitFrameToPlacement();
    QDialog::moveEvent(event);
}

void FormWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timerId_ && state_.head.timerButtonId > 0)
        RunEvent(WindowIdOfDocumentId(state_.head.timerButtonId), QStringLiteral("CLICK"));
}

// --- Keys ---

void FormWindow::keyPressEvent(QKeyEvent* event) {
    const bool seen = keySeen_.event == event && keySeen_.key == event->key() &&
                      keySeen_.timestamp == event->timestamp();
    keySeen_ = {};
    if (!seen) {
        if (!HandleKey(event))
            QDialog::keyPressEvent(event);
        return;
    }
    // A control passed up a key the form has handled already: one press, one action. Enter and
    // Escape then stay away from the dialog's default button and from closing the form.
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (HandleKey(key))
            return true;
        // The control may ignore the key, which then reaches this window's keyPressEvent.
        keySeen_ = {key, key->key(), key->timestamp()};
    } else if (event->type() == QEvent::KeyRelease) {
        keySeen_ = {};
    }
    return QDialog::eventFilter(watched, event);
}

bool FormWindow::HandleKey(QKeyEvent* event) {
    const int key = event->key();
    if (FormControls::HandlesKeyItself(focusWidget(), key))
        return false;
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
        !(event->modifiers() & Qt::ControlModifier)) {
        QWidget* focused = focusWidget();
        const int windowId = focused ? FormControls::WindowIdOf(focused) : 0;
        if (DocumentIdOfWindowId(windowId) >= 0 &&
            !FindEventElement(windowId, QStringLiteral("ENTER")).IsEmpty()) {
            RunEvent(windowId, QStringLiteral("ENTER"));
            return true;
        }
        // Without an ENTER action, Enter moves on to the next field.
        focusNextChild();
        return true;
    }
    if (key == Qt::Key_Escape)
        return true; // a form is not closed by Escape
    if (key == Qt::Key_F11) {
        ToggleFullScreen();
        return true;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        const int number = key - Qt::Key_F1 + 1;
        const FormXml::XmlNodes items = document.GetRoot()
                                            .GetChild("head")
                                            .GetChild("HOTKEY")
                                            .GetChild("para_info")
                                            .GetChildren();
        for (int i = 0; i < items.GetCount(); ++i) {
            const FormXml::XmlNode item = items.GetItem(i);
            if (item.GetAttributeInt("id", 0) != number)
                continue;
            QWidget* target =
                ControlByWindowId(WindowIdOfDocumentId(item.GetAttributeInt("value", 0)));
            if (target && target != this && target->isEnabled()) {
                PressControl(target);
                target->setFocus();
            }
            break;
        }
    }
    return false;
}

void FormWindow::ToggleFullScreen() {
    // From here on the window keeps the geometry it had, not the head's placement.
    placement_.reset();
    if (!fullScreen_) {
        normalGeometry_ = geometry();
        setWindowFlag(Qt::FramelessWindowHint, true);
        showMaximized();
    } else {
        setWindowFlag(Qt::FramelessWindowHint, false);
        showNormal();
        setGeometry(normalGeometry_);
    }
    fullScreen_ = !fullScreen_;
}

// --- Background animation ---

void FormWindow::StartBackgroundWorker() {
    // A quiet scene of drifting translucent circles, rendered off the interface thread.
    const QSize area = size();
    worker_ = std::thread([this, area] {
        struct Bubble {
            double x, y, r, dx, dy;
            QColor color;
        };
        std::mt19937 random(7);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        std::vector<Bubble> bubbles;
        for (int i = 0; i < 12; ++i)
            bubbles.push_back({unit(random) * area.width(), unit(random) * area.height(),
                               8 + unit(random) * 24, unit(random) - 0.5, unit(random) - 0.5,
                               QColor::fromHsv(190 + int(unit(random) * 40), 120, 240, 60)});
        while (!closing_) {
            QImage image(area, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            {
                QPainter p(&image);
                p.setRenderHint(QPainter::Antialiasing);
                p.setPen(Qt::NoPen);
                for (Bubble& b : bubbles) {
                    b.x += b.dx;
                    b.y += b.dy;
                    if (b.x < 0 || b.x > area.width())
                        b.dx = -b.dx;
                    if (b.y < 0 || b.y > area.height())
                        b.dy = -b.dy;
                    p.setBrush(b.color);
                    p.drawEllipse(QPointF(b.x, b.y), b.r, b.r);
                }
            }
            {
                std::lock_guard lock(sceneLock_);
                frame_ = std::move(image);
            }
            QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
}

void FormWindow::StopBackgroundWorker() {
    closing_ = true;
    if (worker_.joinable()) {
        std::lock_guard lock(sceneLock_); // a frame in progress ends first
    }
    if (worker_.joinable())
        worker_.join();
}
