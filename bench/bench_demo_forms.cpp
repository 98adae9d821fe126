// Opening every business function of the demo account set as the user does: read the stored
// definition, unpack and parse it, create the controls, lay them out, show the window, run its
// INIT (queries that fill grids, lists and boxes) and one pass of the event loop so it is
// painted. The reference is QUiLoader loading and showing a .ui file written from the widgets
// the opened form created: the same number of controls, each as the standard Qt class it
// derives from, at the same place with the same texts, grid cells included.
#include "BenchSupport.h"
#include "DemoAccountSet.h"
#include "app/Application.h"
#include "app/CommandFamilies.h"
#include "data/DbSession.h"
#include "form/FormControls.h"
#include "form/FormDefinitionLoader.h"
#include "form/FormWindow.h"
#include "platform/AppMessage.h"
#include "widgets/DrawnLabel.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUiLoader>

#include <benchmark/benchmark.h>

#include <map>

namespace {

// Messages the forms showed (to stderr); a function whose opening shows one has failed.
int messagesShown = 0;

struct Function {
    QString uid;
    QString name;
    QString uiPath;
    int controls = 0;
};

struct Fixture {
    std::unique_ptr<bench::AccountSet> set;
    std::unique_ptr<DbSession> session; // the opener's session, as the main window has one
    QTemporaryDir uiFolder;
    std::map<int, Function> functions;
    QString error;
};

QString Escape(QString text) {
    text.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    text.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    text.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return text;
}

QString UiString(const char* property, const QString& text) {
    return QStringLiteral("<property name=\"%1\"><string>%2</string></property>")
        .arg(QLatin1String(property), Escape(text));
}

QString UiBool(const char* property, bool value) {
    return QStringLiteral("<property name=\"%1\"><bool>%2</bool></property>")
        .arg(QLatin1String(property), QLatin1String(value ? "true" : "false"));
}

QString UiFont(const QFont& font) {
    return QStringLiteral("<property name=\"font\"><font><family>%1</family><pointsize>%2"
                          "</pointsize><bold>%3</bold></font></property>")
        .arg(Escape(font.family()))
        .arg(font.pointSize() > 0 ? font.pointSize() : 9)
        .arg(QLatin1String(font.bold() ? "true" : "false"));
}

QString UiItems(const QTreeWidgetItem* item, int columns) {
    QString ui = QStringLiteral("<item>");
    for (int c = 0; c < columns; ++c)
        ui += UiString("text", item->text(c));
    for (int i = 0; i < item->childCount(); ++i)
        ui += UiItems(item->child(i), columns);
    return ui + QStringLiteral("</item>");
}

// One control as the standard Qt class it is, or derives from, with what it shows; placed on
// the form itself, also when it sits in a container. Controls that draw themselves (pictures,
// charts, the tree-list) become a label showing a snapshot of what they drew, written into
// `folder`.
QString UiWidget(const QWidget& form, QWidget* control, int index, const QString& folder) {
    const QRect r(control->mapTo(&form, QPoint(0, 0)), control->size());
    QString klass = QStringLiteral("QWidget");
    QString body = QStringLiteral("<property name=\"geometry\"><rect><x>%1</x><y>%2</y><width>%3"
                                  "</width><height>%4</height></rect></property>")
                       .arg(r.x())
                       .arg(r.y())
                       .arg(r.width())
                       .arg(r.height());
    if (control->testAttribute(Qt::WA_SetFont))
        body += UiFont(control->font());
    if (!control->isVisibleTo(&form))
        body += UiBool("visible", false);
    if (!control->isEnabled())
        body += UiBool("enabled", false);
    if (auto* label = qobject_cast<const DrawnLabel*>(control)) {
        klass = QStringLiteral("QLabel");
        body += UiString("text", label->Text());
    } else if (auto* label = qobject_cast<const QLabel*>(control)) {
        klass = QStringLiteral("QLabel");
        body += UiString("text", label->text());
    } else if (auto* edit = qobject_cast<const QLineEdit*>(control)) {
        klass = QStringLiteral("QLineEdit");
        body += UiString("text", edit->text()) + UiBool("readOnly", edit->isReadOnly());
        if (edit->echoMode() == QLineEdit::Password)
            body += QStringLiteral("<property name=\"echoMode\"><enum>QLineEdit::Password</enum>"
                                   "</property>");
    } else if (auto* box = qobject_cast<const QComboBox*>(control)) {
        klass = QStringLiteral("QComboBox");
        body += UiBool("editable", box->isEditable());
        for (int i = 0; i < box->count(); ++i)
            body += QStringLiteral("<item>%1</item>").arg(UiString("text", box->itemText(i)));
    } else if (auto* button = qobject_cast<const QAbstractButton*>(control)) {
        klass = QLatin1String(button->inherits("QCheckBox")      ? "QCheckBox"
                              : button->inherits("QRadioButton") ? "QRadioButton"
                                                                 : "QPushButton");
        body += UiString("text", button->text());
        if (button->isCheckable())
            body += UiBool("checkable", true) + UiBool("checked", button->isChecked());
    } else if (auto* tree = qobject_cast<const QTreeWidget*>(control)) {
        klass = QStringLiteral("QTreeWidget");
        const int columns = tree->columnCount();
        for (int c = 0; c < columns; ++c)
            body += QStringLiteral("<column>%1</column>")
                        .arg(UiString("text", tree->headerItem()->text(c)));
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            body += UiItems(tree->topLevelItem(i), columns);
    } else if (auto* view = qobject_cast<const QAbstractItemView*>(control);
               view && view->model()) {
        // Grids: a table widget with the same header, row titles and cells.
        klass = QStringLiteral("QTableWidget");
        const QAbstractItemModel* model = view->model();
        for (int row = 0; row < model->rowCount(); ++row)
            body += QStringLiteral("<row>%1</row>")
                        .arg(UiString("text", model->headerData(row, Qt::Vertical).toString()));
        for (int c = 0; c < model->columnCount(); ++c)
            body += QStringLiteral("<column>%1</column>")
                        .arg(UiString("text", model->headerData(c, Qt::Horizontal).toString()));
        for (int row = 0; row < model->rowCount(); ++row)
            for (int c = 0; c < model->columnCount(); ++c) {
                const QString text = model->index(row, c).data().toString();
                if (!text.isEmpty())
                    body += QStringLiteral("<item row=\"%1\" column=\"%2\">%3</item>")
                                .arg(row)
                                .arg(c)
                                .arg(UiString("text", text));
            }
    } else if (auto* text = qobject_cast<const QPlainTextEdit*>(control)) {
        klass = QStringLiteral("QPlainTextEdit");
        body += UiString("plainText", text->toPlainText());
    } else if (auto* date = qobject_cast<const QDateEdit*>(control)) {
        klass = QStringLiteral("QDateEdit");
        body += UiString("displayFormat", date->displayFormat()) +
                QStringLiteral("<property name=\"date\"><date><year>%1</year><month>%2</month>"
                               "<day>%3</day></date></property>")
                    .arg(date->date().year())
                    .arg(date->date().month())
                    .arg(date->date().day());
    } else if (auto* group = qobject_cast<const QGroupBox*>(control)) {
        klass = QStringLiteral("QGroupBox");
        body += UiString("title", group->title());
    } else if (QLatin1String(control->metaObject()->superClass()->className()) ==
               QLatin1String("QWidget")) {
        klass = QStringLiteral("QLabel");
        const QString file = QStringLiteral("%1/snapshot%2.png").arg(folder).arg(index);
        if (control->grab().save(file))
            body += QStringLiteral("<property name=\"pixmap\"><pixmap>%1</pixmap></property>")
                        .arg(Escape(file));
    }
    return QStringLiteral("<widget class=\"%1\" name=\"c%2\">%3</widget>\n")
        .arg(klass)
        .arg(index)
        .arg(body);
}

// The .ui of an opened form: its size, title and font, and every control it created, placed
// on the dialog where it shows.
QString UiOfForm(FormWindow& form, int& controls, const QString& folder) {
    QString ui = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ui version=\"4.0\">"
                                "<class>DemoForm</class>\n<widget class=\"QDialog\" "
                                "name=\"DemoForm\">\n<property name=\"geometry\"><rect><x>0</x>"
                                "<y>0</y><width>%1</width><height>%2</height></rect></property>")
                     .arg(form.width())
                     .arg(form.height());
    ui += UiString("windowTitle", form.windowTitle()) + UiFont(form.font()) + QLatin1Char('\n');
    controls = 0;
    for (QWidget* control : form.Controls().Controls())
        ui += UiWidget(form, control, ++controls, folder);
    return ui + QStringLiteral("</widget>\n</ui>\n");
}

void CloseAll() {
    Application& app = Application::Instance();
    for (QDialog* form : app.forms.openForms.keys())
        delete form;
    app.forms.openForms.clear();
    app.forms.formCache.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Opens one function; null with `why` set unless the form is shown with its controls.
FormWindow* Open(Fixture& f, const Function& function, QString& why) {
    QString text;
    if (LoadFormDefinition(Application::Instance().forms, *f.session, function.uid, text) != 1) {
        why = QStringLiteral("the stored definition of %1 was not read").arg(function.uid);
        return nullptr;
    }
    const int messagesBefore = messagesShown;
    FormWindow* form =
        FormWindow::OpenForm(text, QString(), QString(), function.uid, function.name, QString());
    QCoreApplication::processEvents();
    if (!form || !form->isVisible() || form->Controls().Controls().isEmpty()) {
        why = QStringLiteral("%1 did not open").arg(function.name);
        return nullptr;
    }
    if (messagesShown != messagesBefore) {
        why = QStringLiteral("%1 showed a message while opening").arg(function.name);
        return nullptr;
    }
    return form;
}

Fixture& TheFixture() {
    static Fixture* fixture = [] {
        auto* f = new Fixture;
        // The client registers the print and chart commands at start; the sales analysis
        // draws its charts in INIT.
        RegisterAllCommands();
        SetMessageSink([](const AppMessageRequest& request) {
            ++messagesShown;
            return StderrMessageSink(request);
        });
        f->set = bench::AccountSet::CreateSqlite(f->error, true);
        if (!f->set || !f->set->UseAndLogIn(f->error))
            return f;
        f->session = std::make_unique<DbSession>(DbSession::FromConfig);
        QStringList rows;
        if (!f->session->Open() ||
            !f->session->QueryColumns(QStringLiteral("SELECT uid_0,name_0 FROM c_menu_dh WHERE "
                                                     "leaf_0=1 AND form_0 IS NOT NULL ORDER BY "
                                                     "uid_0"),
                                      {QStringLiteral("uid_0"), QStringLiteral("name_0")}, rows)) {
            f->error = f->session->Message() + f->session->Detail();
            return f;
        }
        for (int i = 0; i + 1 < rows.size(); i += 2)
            f->functions[rows[i].toInt()] = Function{rows[i], rows[i + 1], {}, 0};
        if (f->functions.size() != DemoFunctions().size()) {
            f->error = QStringLiteral("%1 stored forms, %2 demo functions")
                           .arg(f->functions.size())
                           .arg(DemoFunctions().size());
            return f;
        }
        QUiLoader loader;
        for (auto& [uid, function] : f->functions) {
            FormWindow* form = Open(*f, function, f->error);
            if (!form)
                return f;
            function.uiPath = f->uiFolder.filePath(QStringLiteral("%1.ui").arg(uid));
            QDir(f->uiFolder.path()).mkdir(QString::number(uid));
            QFile ui(function.uiPath);
            if (!ui.open(QIODevice::WriteOnly) ||
                ui.write(
                    UiOfForm(*form, function.controls, f->uiFolder.filePath(QString::number(uid)))
                        .toUtf8()) < 0) {
                f->error = QStringLiteral("cannot write %1").arg(function.uiPath);
                return f;
            }
            ui.close();
            CloseAll();
            // The reference must build as many controls as the form did.
            ui.open(QIODevice::ReadOnly);
            std::unique_ptr<QWidget> loaded(loader.load(&ui));
            const int built =
                loaded ? int(loaded->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size()) : 0;
            if (built < function.controls) {
                f->error = QStringLiteral("the .ui of %1 has %2 of %3 controls: %4")
                               .arg(function.name)
                               .arg(built)
                               .arg(function.controls)
                               .arg(loader.errorString());
                return f;
            }
        }
        return f;
    }();
    return *fixture;
}

// Times opening `uids` (every function when empty) once per iteration; closing is outside.
void OpenForms(benchmark::State& state, const QList<int>& uids) {
    Fixture& f = TheFixture();
    if (!f.error.isEmpty()) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    QString why;
    for (auto _ : state) {
        for (const auto& [uid, function] : f.functions) {
            if (!uids.isEmpty() && !uids.contains(uid))
                continue;
            if (!Open(f, function, why)) {
                state.SkipWithError(qPrintable(why));
                CloseAll();
                return;
            }
            state.PauseTiming();
            CloseAll();
            state.ResumeTiming();
        }
    }
}

void LoadUis(benchmark::State& state, const QList<int>& uids) {
    Fixture& f = TheFixture();
    if (!f.error.isEmpty()) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    QUiLoader loader;
    for (auto _ : state) {
        for (const auto& [uid, function] : f.functions) {
            if (!uids.isEmpty() && !uids.contains(uid))
                continue;
            QFile file(function.uiPath);
            file.open(QIODevice::ReadOnly);
            QWidget* widget = loader.load(&file);
            if (!widget) {
                state.SkipWithError(qPrintable(loader.errorString()));
                return;
            }
            widget->show();
            QCoreApplication::processEvents();
            state.PauseTiming();
            delete widget;
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            state.ResumeTiming();
        }
    }
}

void BM_DemoForms(benchmark::State& state) {
    OpenForms(state, {});
}

void BM_DemoForms_Reference(benchmark::State& state) {
    LoadUis(state, {});
}

void Label(benchmark::State& state) {
    const auto it = TheFixture().functions.find(int(state.range(0)));
    if (it != TheFixture().functions.end())
        state.SetLabel(it->second.name.toStdString());
}

void BM_DemoForm(benchmark::State& state) {
    Label(state);
    OpenForms(state, {int(state.range(0))});
}

void BM_DemoForm_Reference(benchmark::State& state) {
    Label(state);
    LoadUis(state, {int(state.range(0))});
}

void EveryFunction(benchmark::internal::Benchmark* b) {
    for (const DemoFunction& function : DemoFunctions())
        b->Arg(function.menuUid);
}

} // namespace

BENCHMARK(BM_DemoForms)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DemoForms_Reference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DemoForm)->Apply(EveryFunction)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DemoForm_Reference)->Apply(EveryFunction)->Unit(benchmark::kMillisecond);
