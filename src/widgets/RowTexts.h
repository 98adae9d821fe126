#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <span>

// The cell texts of one grid row, kept in a single buffer: one allocation a row instead of one
// a cell, which is most of a large grid's memory. The buffer starts with the cell count and the
// end offset of every cell (32 bits each, as two UTF-16 units), followed by the texts.
class RowTexts {
public:
    RowTexts() = default;
    explicit RowTexts(const QStringList& cells);
    explicit RowTexts(std::span<const QStringView> cells);

    qsizetype size() const { return buffer_.isEmpty() ? 0 : ReadNumber(0); }
    // Past the end a cell is empty, as a row may be shorter than its grid is wide.
    QStringView view(qsizetype index) const;
    QString value(qsizetype index) const { return view(index).toString(); }
    QStringList ToList() const;

    // Sets a cell, widening the row with empty cells as needed.
    void Set(qsizetype index, const QString& text);
    // Inserts a cell before `index` (at most size()); removes one (ignored past the end).
    void Insert(qsizetype index, const QString& text);
    void RemoveAt(qsizetype index);

private:
    static constexpr qsizetype kNumberUnits = 2;

    qsizetype ReadNumber(qsizetype slot) const;
    qsizetype TextStart() const { return kNumberUnits * (size() + 1); }
    qsizetype CellStart(qsizetype index) const { return index == 0 ? 0 : ReadNumber(index); }
    qsizetype CellEnd(qsizetype index) const { return ReadNumber(index + 1); }

    QString buffer_;
};
