// Opening a generated form of 300 controls: read the stored definition from the account set,
// unpack and parse it, create the controls, lay them out, show the window and run its INIT
// query; against QUiLoader loading and showing an equivalent .ui file of the same widgets.
#include "BenchSupport.h"
#include "FormGenerator.h"
#include "app/Application.h"
#include "data/DbSession.h"
#include "form/DefinitionCodec.h"
#include "form/FormControls.h"
#include "form/FormDefinitionLoader.h"
#include "form/FormWindow.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QUiLoader>

#include <benchmark/benchmark.h>

namespace {

const QString kMenuUid = QStringLiteral("900");

struct Fixture {
    std::unique_ptr<bench::AccountSet> set;
    std::unique_ptr<DbSession> session; // the opener's session, as the main window has one
    QTemporaryDir uiFolder;
    QString uiPath;
    QString error;
};

Fixture& TheFixture() {
    static Fixture* fixture = [] {
        auto* f = new Fixture;
        const bench::FormDescription form =
            bench::MakeBenchForm(bench::Scaled(300, 30), bench::Scaled(20, 5));
        f->set = bench::AccountSet::CreateSqlite(f->error);
        if (!f->set || !f->set->UseAndLogIn(f->error))
            return f;
        f->session = std::make_unique<DbSession>(DbSession::FromConfig);
        const QByteArray packed = PackDefinition(bench::ToDefinitionXml(form));
        if (!f->session->Open() ||
            !f->session->Execute(QStringLiteral("INSERT INTO c_menu_dh (uid_0,name_0,leaf_0) "
                                                "VALUES (%1,'性能测试',1)")
                                     .arg(kMenuUid)) ||
            !f->session->WriteBinary(
                QStringLiteral("SELECT uid_0,form_0 FROM c_menu_dh WHERE uid_0=%1").arg(kMenuUid),
                {QStringLiteral("form_0")}, {packed})) {
            f->error = f->session->Message() + f->session->Detail();
            return f;
        }
        f->uiPath = f->uiFolder.filePath(QStringLiteral("form.ui"));
        QFile ui(f->uiPath);
        if (!ui.open(QIODevice::WriteOnly) || ui.write(bench::ToUiXml(form).toUtf8()) < 0)
            f->error = QStringLiteral("cannot write the .ui file");
        return f;
    }();
    return *fixture;
}

void CloseAll() {
    Application& app = Application::Instance();
    for (QDialog* form : app.forms.openForms.keys())
        delete form;
    app.forms.openForms.clear();
    app.forms.formCache.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void BM_FormOpen(benchmark::State& state) {
    Fixture& f = TheFixture();
    if (!f.error.isEmpty()) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    Application& app = Application::Instance();
    for (auto _ : state) {
        QString text;
        if (LoadFormDefinition(app.forms, *f.session, kMenuUid, text) != 1) {
            state.SkipWithError("the stored definition was not read");
            break;
        }
        FormWindow* form = FormWindow::OpenForm(text, QString(), QString(), kMenuUid,
                                                QStringLiteral("性能测试"), QString());
        QCoreApplication::processEvents();
        auto* filled = qobject_cast<QLineEdit*>(form ? form->ControlByWindowId(1 + 1024) : nullptr);
        if (!form || !form->isVisible() || !filled || filled->text() != QLatin1String("admin")) {
            state.SkipWithError("the form did not open with its INIT values");
            break;
        }
        state.PauseTiming();
        CloseAll();
        state.ResumeTiming();
    }
    CloseAll();
}

// `explicitFonts`: every control is given the form's default font after it was created, as the
// form window's control factory once did, to show what that costs on its own.
void LoadUiForm(benchmark::State& state, bool explicitFonts) {
    Fixture& f = TheFixture();
    if (!f.error.isEmpty()) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    QUiLoader loader;
    const QFont font = FormControls().DefaultFont();
    for (auto _ : state) {
        QFile file(f.uiPath);
        file.open(QIODevice::ReadOnly);
        QWidget* widget = loader.load(&file);
        if (!widget) {
            state.SkipWithError(qPrintable(loader.errorString()));
            break;
        }
        if (explicitFonts)
            for (QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                child->setFont(font);
        widget->show();
        QCoreApplication::processEvents();
        state.PauseTiming();
        delete widget;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}

void BM_FormOpen_Reference(benchmark::State& state) {
    LoadUiForm(state, false);
}

void BM_FormOpen_FontReference(benchmark::State& state) {
    LoadUiForm(state, true);
}

} // namespace

BENCHMARK(BM_FormOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormOpen_Reference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormOpen_FontReference)->Unit(benchmark::kMillisecond);
