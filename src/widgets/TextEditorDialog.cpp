#include "widgets/TextEditorDialog.h"

#include "widgets/TextAsTyped.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

TextEditorDialog::TextEditorDialog(const QString& text, QWidget* parent)
    : QDialog(parent), editor_(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("TextEditorDialog"));
    setWindowTitle(QStringLiteral("文本编辑"));
    resize(480, 320);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    editor_->setObjectName(QStringLiteral("textEditor"));
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    editor_->setPlainText(shown);
    layout->addWidget(editor_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString TextEditorDialog::Text() const {
    return TextAsTyped(editor_->document());
}

std::optional<QString> TextEditorDialog::Edit(const QString& text, QWidget* parent) {
    TextEditorDialog dialog(text, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Text();
}
