#pragma once
// The tree-list control of forms (rows of a tree under a tree of column headers). Only the
// window exists so far: the header and rows are built by the tree-list work.
#include <QWidget>

class ZvChart : public QWidget {
    Q_OBJECT
public:
    explicit ZvChart(QWidget* parent = nullptr) : QWidget(parent) {}

    void SetText(const QString& text) { text_ = text; }
    QString Text() const { return text_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool IsReadOnly() const { return readOnly_; }

private:
    QString text_;
    bool readOnly_ = false;
};
