#include "widgets/GridModel.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <atomic>
#include <numeric>

namespace {

constexpr int kEvenRowBackground = 0xFFFFFF;
constexpr int kOddRowBackground = 0xFCFCFC;

const QDate& ZeroDate() {
    static const QDate date(1899, 12, 30);
    return date;
}

// The forms dates are written in by the stored data and the users' input, tried after the
// locale's own formats.
const QStringList& DateFormats() {
    static const QStringList formats = [] {
        QStringList list;
        const QLocale locale = QLocale::system();
        list << locale.dateTimeFormat(QLocale::ShortFormat)
             << locale.dateTimeFormat(QLocale::LongFormat)
             << locale.dateFormat(QLocale::ShortFormat) << locale.dateFormat(QLocale::LongFormat);
        for (const char* format :
             {"yyyy-M-d H:m:s", "yyyy-M-d H:m", "yyyy-M-d", "yyyy/M/d H:m:s", "yyyy/M/d H:m",
              "yyyy/M/d", "yyyy.M.d", "yyyyMMdd", "yyyy-M-dTH:m:s", "yyyy-M-d H:m:s.zzz"})
            list << QString::fromLatin1(format);
        return list;
    }();
    return formats;
}

const QStringList& TimeFormats() {
    static const QStringList formats{QStringLiteral("H:m:s"), QStringLiteral("H:m")};
    return formats;
}

} // namespace

QColor GridColorToQColor(int color) {
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

int QColorToGridColor(const QColor& color) {
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

quint64 NextRowSerial() {
    static std::atomic<quint64> next{0};
    return ++next;
}

CellInfo* ItemData::FindCell(int column) const {
    if (!cells)
        return nullptr;
    for (CellInfo& cell : *cells)
        if (cell.column == column)
            return &cell;
    return nullptr;
}

CellInfo& ItemData::Cell(int column) {
    if (CellInfo* cell = FindCell(column))
        return *cell;
    if (!cells)
        cells = std::make_unique<std::vector<CellInfo>>();
    cells->push_back(CellInfo{});
    cells->back().column = column;
    return cells->back();
}

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount();
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    const int row = index.row();
    const int column = index.column();
    if (!ValidCell(row, column))
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        return rows_[size_t(row)].cells.value(column);
    }
    case Qt::TextAlignmentRole:
        return int(columns_[size_t(column)].alignment | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        return GridColorToQColor(ResolveColors(row, column).first);
    case Qt::ForegroundRole:
        return GridColorToQColor(ResolveColors(row, column).second);
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || !ValidColumn(section))
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return columns_[size_t(section)].title;
    if (role == Qt::TextAlignmentRole)
        return int(columns_[size_t(section)].alignment | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    // Editing goes through the grid's own editors, never the view's delegate.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void GridModel::ApplyAlternateColors(ItemData& data, int index) const {
    if (!alternate_)
        return;
    data.background = index % 2 == 0 ? kEvenRowBackground : kOddRowBackground;
    data.text = 0;
}

int GridModel::InsertRow(int index, const QString& text) {
    if (index < 0)
        return -1;
    index = std::min(index, RowCount());
    Row row;
    row.cells = RowTexts(QStringList{text});
    ApplyAlternateColors(row.data, index);
    if (fillDepth_ == 0)
        beginInsertRows({}, index, index);
    rows_.insert(rows_.begin() + index, std::move(row));
    if (fillDepth_ == 0)
        endInsertRows();
    return index;
}

bool GridModel::DeleteRow(int row) {
    if (!ValidRow(row))
        return false;
    if (fillDepth_ == 0)
        beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    if (fillDepth_ == 0)
        endRemoveRows();
    return true;
}

void GridModel::DeleteAllRows() {
    if (fillDepth_ == 0)
        beginResetModel();
    rows_.clear();
    if (fillDepth_ == 0)
        endResetModel();
}

void GridModel::BeginFill() {
    if (fillDepth_++ == 0)
        beginResetModel();
}

void GridModel::EndFill() {
    if (fillDepth_ > 0 && --fillDepth_ == 0)
        endResetModel();
}

int GridModel::AppendRow(QStringList cells, const QString& key, int state) {
    const int index = RowCount();
    if (fillDepth_ == 0)
        beginInsertRows({}, index, index);
    Row& row = rows_.emplace_back();
    row.cells = RowTexts(cells);
    row.data.key = key;
    row.data.state = state;
    ApplyAlternateColors(row.data, index);
    if (fillDepth_ == 0)
        endInsertRows();
    return index;
}

void GridModel::AppendRows(const QStringList& values, int columns, const QStringList& keys,
                           int state) {
    if (columns <= 0)
        return;
    const int count = int(values.size()) / columns;
    if (count == 0)
        return;
    BeginFill();
    rows_.reserve(rows_.size() + size_t(count));
    for (int i = 0; i < count; ++i)
        AppendRow(values.mid(qsizetype(i) * columns, columns), keys.value(i), state);
    EndFill();
}

void GridModel::AppendRows(std::vector<GridRow>&& rows) {
    if (rows.empty())
        return;
    BeginFill();
    const size_t first = rows_.size();
    if (rows_.empty()) {
        rows_ = std::move(rows);
    } else {
        rows_.reserve(first + rows.size());
        std::move(rows.begin(), rows.end(), std::back_inserter(rows_));
    }
    rows.clear();
    for (size_t i = first; i < rows_.size(); ++i)
        ApplyAlternateColors(rows_[i].data, int(i));
    EndFill();
}

QString GridModel::CellText(int row, int column) const {
    if (!ValidCell(row, column))
        return {};
    return rows_[size_t(row)].cells.value(column);
}

bool GridModel::SetCellText(int row, int column, const QString& text) {
    if (!ValidCell(row, column))
        return false;
    rows_[size_t(row)].cells.Set(column, text);
    if (fillDepth_ == 0) {
        const QModelIndex cell = index(row, column);
        Q_EMIT dataChanged(cell, cell, {Qt::DisplayRole});
    }
    return true;
}

int GridModel::InsertColumn(int index, const QString& title, Qt::Alignment alignment) {
    if (index < 0)
        return -1;
    index = std::min(index, ColumnCount());
    beginInsertColumns({}, index, index);
    ColumnInfo info;
    info.title = title;
    info.alignment = alignment;
    columns_.insert(columns_.begin() + index, std::move(info));
    // Cells right of the new column move with their columns.
    for (Row& row : rows_)
        if (row.cells.size() > index)
            row.cells.Insert(index, QString());
    endInsertColumns();
    return index;
}

bool GridModel::DeleteColumn(int column) {
    if (!ValidColumn(column))
        return false;
    beginRemoveColumns({}, column, column);
    columns_.erase(columns_.begin() + column);
    for (Row& row : rows_)
        if (row.cells.size() > column)
            row.cells.RemoveAt(column);
    endRemoveColumns();
    return true;
}

void GridModel::EmitRowChanged(int row) {
    if (fillDepth_ == 0 && ColumnCount() > 0)
        Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount() - 1),
                           {Qt::BackgroundRole, Qt::ForegroundRole});
}

void GridModel::SetDefaultColors(int background, int text) {
    defaultBackground_ = background;
    defaultText_ = text;
}

bool GridModel::SetColumnColors(int column, int background, int text) {
    ColumnInfo* info = Column(column);
    if (!info)
        return false;
    info->background = background;
    info->text = text;
    if (fillDepth_ == 0 && RowCount() > 0)
        Q_EMIT dataChanged(index(0, column), index(RowCount() - 1, column),
                           {Qt::BackgroundRole, Qt::ForegroundRole});
    return true;
}

bool GridModel::SetRowColors(int row, int background, int text) {
    ItemData* data = RowData(row);
    if (!data)
        return false;
    data->background = background;
    data->text = text;
    EmitRowChanged(row);
    return true;
}

bool GridModel::SetCellColors(int row, int column, int background, int text) {
    if (!ValidCell(row, column))
        return false;
    CellInfo& cell = rows_[size_t(row)].data.Cell(column);
    cell.background = background;
    cell.text = text;
    if (fillDepth_ == 0) {
        const QModelIndex changed = index(row, column);
        Q_EMIT dataChanged(changed, changed, {Qt::BackgroundRole, Qt::ForegroundRole});
    }
    return true;
}

std::pair<int, int> GridModel::ResolveColors(int row, int column) const {
    std::pair<int, int> colors{kColorNotSet, kColorNotSet};
    if (!ValidCell(row, column))
        return {defaultBackground_, defaultText_};
    const ItemData& data = rows_[size_t(row)].data;
    const auto isSet = [](int background, int text) {
        return background != kColorNotSet || text != kColorNotSet;
    };
    const CellInfo* cell = data.FindCell(column);
    const ColumnInfo& info = columns_[size_t(column)];
    if (cell && isSet(cell->background, cell->text))
        colors = {cell->background, cell->text};
    else if (isSet(data.background, data.text))
        colors = {data.background, data.text};
    else
        colors = {info.background, info.text};
    if (colors.first == kColorNotSet)
        colors.first = defaultBackground_;
    if (colors.second == kColorNotSet)
        colors.second = defaultText_;
    return colors;
}

bool GridModel::SetColumnReadOnly(int column, bool on) {
    ColumnInfo* info = Column(column);
    if (!info)
        return false;
    info->readOnly = on;
    return true;
}

bool GridModel::SetRowReadOnly(int row, bool on) {
    ItemData* data = RowData(row);
    if (!data)
        return false;
    data->readOnly = on;
    return true;
}

bool GridModel::SetCellReadOnly(int row, int column, bool on) {
    if (!ValidCell(row, column))
        return false;
    rows_[size_t(row)].data.Cell(column).readOnly = on;
    return true;
}

bool GridModel::IsCellReadOnly(int row, int column) const {
    if (!ValidCell(row, column))
        return false;
    if (readOnly_)
        return true;
    const ItemData& data = rows_[size_t(row)].data;
    const CellInfo* cell = data.FindCell(column);
    return (cell && cell->readOnly) || data.readOnly || columns_[size_t(column)].readOnly;
}

double GridModel::NumberValue(const QString& text) {
    // The leading decimal number after the commas are removed, as the C library reads it.
    QString plain = text;
    plain.remove(QLatin1Char(','));
    qsizetype i = 0;
    const qsizetype n = plain.size();
    while (i < n && plain.at(i).isSpace())
        ++i;
    const qsizetype start = i;
    if (i < n && (plain.at(i) == u'+' || plain.at(i) == u'-'))
        ++i;
    const auto digits = [&] {
        const qsizetype from = i;
        while (i < n && plain.at(i) >= u'0' && plain.at(i) <= u'9')
            ++i;
        return i - from;
    };
    qsizetype mantissa = digits();
    if (i < n && plain.at(i) == u'.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return 0.0;
    if (i < n && (plain.at(i) == u'e' || plain.at(i) == u'E')) {
        const qsizetype mark = i++;
        if (i < n && (plain.at(i) == u'+' || plain.at(i) == u'-'))
            ++i;
        if (digits() == 0)
            i = mark;
    }
    return plain.mid(start, i - start).toDouble();
}

qint64 GridModel::DateValue(const QString& text, bool* ok) {
    const QString trimmed = text.trimmed();
    const auto since = [](const QDate& date, const QTime& time) {
        return (date.toJulianDay() - ZeroDate().toJulianDay()) * qint64(86400000) +
               time.msecsSinceStartOfDay();
    };
    if (ok)
        *ok = true;
    if (!trimmed.isEmpty()) {
        const QLocale locale = QLocale::system();
        for (const QString& format : DateFormats()) {
            const QDateTime value = locale.toDateTime(trimmed, format);
            if (value.isValid())
                return since(value.date(), value.time());
        }
        for (const QString& format : TimeFormats()) {
            const QTime value = QTime::fromString(trimmed, format);
            if (value.isValid())
                return since(ZeroDate(), value);
        }
    }
    if (ok)
        *ok = false;
    return 0;
}

int GridModel::CompareCells(const QString& a, const QString& b, int kind) {
    switch (kind) {
    case kSortText:
        return QString::compare(a, b, Qt::CaseInsensitive);
    case kSortNumber:
        return NumberValue(a) >= NumberValue(b) ? 1 : -1;
    case kSortDate: {
        bool okA = false;
        bool okB = false;
        const qint64 va = DateValue(a, &okA);
        const qint64 vb = DateValue(b, &okB);
        if (okA && okB && va == vb)
            return 0;
        return va < vb ? -1 : 1;
    }
    default:
        return QString::localeAwareCompare(a, b);
    }
}

void GridModel::SortRows(int column, int kind, bool ascending) {
    if (!ValidColumn(column) || rows_.size() < 2)
        return;
    const size_t n = rows_.size();
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);

    // Keys are computed once per row. The sort needs a strict order, so ties (which the number
    // and date comparisons above never call equal) keep their present order.
    const auto sortBy = [&](auto&& less) {
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return ascending ? less(a, b) : less(b, a); });
    };
    if (kind == kSortNumber || kind == kSortDate) {
        std::vector<double> keys(n);
        for (size_t i = 0; i < n; ++i) {
            const QString text = rows_[i].cells.value(column);
            keys[i] = kind == kSortNumber ? NumberValue(text) : double(DateValue(text));
        }
        sortBy([&](int a, int b) { return keys[size_t(a)] < keys[size_t(b)]; });
    } else {
        std::vector<QString> texts(n);
        for (size_t i = 0; i < n; ++i)
            texts[i] = rows_[i].cells.value(column);
        sortBy([&](int a, int b) {
            return CompareCells(texts[size_t(a)], texts[size_t(b)], kind) < 0;
        });
    }

    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<Row> sorted;
    sorted.reserve(n);
    std::vector<int> newRowOf(n);
    for (size_t i = 0; i < n; ++i) {
        newRowOf[size_t(order[i])] = int(i);
        sorted.push_back(std::move(rows_[size_t(order[i])]));
    }
    rows_ = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after.append(index(newRowOf[size_t(old.row())], old.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
