#include "widgets/RowTexts.h"

#include <QVarLengthArray>

namespace {

void AppendNumber(QString& buffer, qsizetype number) {
    const auto value = quint32(number);
    buffer.append(QChar(char16_t(value & 0xFFFF)));
    buffer.append(QChar(char16_t(value >> 16)));
}

template <typename Texts> QString Pack(const Texts& texts) {
    qsizetype length = 0;
    for (const auto& text : texts)
        length += text.size();
    const qsizetype count = texts.size();
    QString buffer;
    buffer.reserve(2 * (count + 1) + length);
    AppendNumber(buffer, count);
    qsizetype end = 0;
    for (const auto& text : texts) {
        end += text.size();
        AppendNumber(buffer, end);
    }
    for (const auto& text : texts)
        buffer.append(text);
    return buffer;
}

} // namespace

RowTexts::RowTexts(const QStringList& cells) {
    if (!cells.isEmpty())
        buffer_ = Pack(cells);
}

RowTexts::RowTexts(std::span<const QStringView> cells) {
    if (!cells.empty())
        buffer_ = Pack(cells);
}

qsizetype RowTexts::ReadNumber(qsizetype slot) const {
    const QChar* units = buffer_.constData() + kNumberUnits * slot;
    return qsizetype(quint32(units[0].unicode()) | (quint32(units[1].unicode()) << 16));
}

QStringView RowTexts::view(qsizetype index) const {
    if (index < 0 || index >= size())
        return {};
    const qsizetype start = CellStart(index);
    return QStringView(buffer_).mid(TextStart() + start, CellEnd(index) - start);
}

QStringList RowTexts::ToList() const {
    QStringList cells;
    const qsizetype count = size();
    cells.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        cells.append(view(i).toString());
    return cells;
}

// Edits rebuild the row: they are rare next to reads and fills, and a row is short.
void RowTexts::Set(qsizetype index, const QString& text) {
    if (index < 0)
        return;
    QVarLengthArray<QStringView, 32> cells;
    for (qsizetype i = 0; i < std::max(size(), index + 1); ++i)
        cells.append(i == index ? QStringView(text) : view(i));
    buffer_ = Pack(cells);
}

void RowTexts::Insert(qsizetype index, const QString& text) {
    const qsizetype count = size();
    if (index < 0 || index > count)
        return;
    QVarLengthArray<QStringView, 32> cells;
    for (qsizetype i = 0; i <= count; ++i)
        cells.append(i == index ? QStringView(text) : view(i < index ? i : i - 1));
    buffer_ = Pack(cells);
}

void RowTexts::RemoveAt(qsizetype index) {
    const qsizetype count = size();
    if (index < 0 || index >= count)
        return;
    if (count == 1) {
        buffer_.clear();
        return;
    }
    QVarLengthArray<QStringView, 32> cells;
    for (qsizetype i = 0; i < count; ++i)
        if (i != index)
            cells.append(view(i));
    buffer_ = Pack(cells);
}
