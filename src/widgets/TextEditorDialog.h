#pragma once
// The text editor of an edit-with-button control: a modal dialog with one multi-line field
// filling it, for texts too long or too many lines for the one-line box.
#include <QDialog>

#include <optional>

class QPlainTextEdit;

class TextEditorDialog : public QDialog {
    Q_OBJECT
public:
    explicit TextEditorDialog(const QString& text, QWidget* parent = nullptr);

    // Lines are separated by "\n" both ways; "\r\n" from stored texts shows as one break.
    QString Text() const;
    QPlainTextEdit* Editor() const { return editor_; }

    // Runs the dialog; the edited text on OK, nothing otherwise.
    static std::optional<QString> Edit(const QString& text, QWidget* parent);

private:
    QPlainTextEdit* editor_;
};
