#include "print/PrintLayout.h"

#include "print/Barcodes.h"

#include "form/CommandContext.h"
#include "form/FormControls.h"
#include "platform/ValueGrammars.h"
#include "widgets/GridModel.h"
#include "widgets/GridView.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QRect>

#include <algorithm>
#include <cmath>

using FormXml::XmlNode;
using FormXml::XmlNodes;

namespace {

constexpr int kInsetSide = 3;
constexpr int kInsetTop = 3;
constexpr int kInsetBottom = 2;
constexpr int kScreenDpi = 96;

// Layout units of a glyph of a point size, as a 96-dpi screen sizes it: 36 → 40 (4 mm).
int GlyphHeight(int size) {
    const long tenths = std::lround(size * -600.0 / 72.0);
    return std::abs(static_cast<int>(std::lround(tenths * double(kScreenDpi) / 720.0)));
}

// Text-layout flags of a layout `format`, in the platform's numbering.
enum : int {
    kCenter = 1,
    kRight = 2,
    kVCenter = 4,
    kBottom = 8,
    kSingleLine = 32,
};

int ToInt(const QString& text) {
    return text.trimmed().toInt();
}

} // namespace

QString ThousandsText(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().remove(QLatin1Char(',')).toDouble(&ok);
    if (!ok || !std::isfinite(value) || value == 0.0)
        return QStringLiteral("0.00");
    QString digits = QString::number(std::fabs(value), 'f', 2);
    const qsizetype point = digits.indexOf(QLatin1Char('.'));
    for (qsizetype at = point - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return value < 0 ? QLatin1Char('-') + digits : digits;
}

QRect LayoutRect(const QString& text) {
    QString error;
    const RectValue rect = ReadRectText(text, error);
    ReportGrammarError(error);
    return rect.ToQRect();
}

PrintLayout::PrintLayout(CommandContext& form, const XmlNode& printPara, PageShift shift)
    : form_(form), para_(printPara), shift_(shift) {
    defaultFont_.face = QStringLiteral("宋体");
    defaultFont_.height = GlyphHeight(defaultSize_);
}

QString PrintLayout::ControlTextOf(int documentId) const {
    if (documentId <= 0)
        return {};
    return ControlText(form_.ControlByWindowId(WindowIdOfDocumentId(documentId)));
}

int PrintLayout::ControlIntOf(int documentId) const {
    return ToInt(ControlTextOf(documentId));
}

int PrintLayout::HeadHeight() const {
    const int head = para_.GetAttributeInt("head_height", 0);
    return head < 0 ? ControlIntOf(-head) : head;
}

PrintLayout::TableRows PrintLayout::MeasureTable(const XmlNode& table) const {
    TableRows measure;
    const auto* grid = qobject_cast<const GridView*>(
        form_.ControlByWindowId(WindowIdOfDocumentId(table.GetAttributeInt("value", 0))));
    // The empty line a numbered grid keeps for typing is not printed.
    measure.rows = grid ? grid->RowCount() - (grid->EndsWithEntryRow() ? 1 : 0) : 0;
    measure.headHeight = table.GetChild("head_info_print").GetAttributeInt("row_height", 0);
    const XmlNode columns = table.GetChild("col_info_print");
    measure.rowHeight = columns.GetAttributeInt("row_height", 0);
    const int count = columns.GetAttributeInt("count_in_page", 0);
    measure.perPage = count;
    if (count < 0) {
        const int available = pageHeight_ - measure.headHeight - HeadHeight();
        measure.perPage = measure.rowHeight > 0 ? std::max(1, available / measure.rowHeight) : 1;
        measure.reserve = (measure.perPage + count) * measure.rowHeight + measure.headHeight;
    }
    return measure;
}

int PrintLayout::PageCount(const QPaintDevice& device) {
    pageWidth_ = device.widthMM() * 10;
    pageHeight_ = device.heightMM() * 10;
    const XmlNodes children = para_.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i) {
        const XmlNode child = children.GetItem(i);
        if (child.GetName() != QLatin1String("table_print"))
            continue;
        // A table that names no grid prints nothing, so it cannot decide the pages either.
        if (!qobject_cast<const GridView*>(
                form_.ControlByWindowId(WindowIdOfDocumentId(child.GetAttributeInt("value", 0)))))
            continue;
        const TableRows measure = MeasureTable(child);
        if (measure.perPage == 0)
            continue;
        return measure.rows / measure.perPage + (measure.rows % measure.perPage ? 1 : 0);
    }
    return 1;
}

PrintLayout::Font PrintLayout::FontOf(const QString& text) const {
    Font font = defaultFont_;
    if (text.isEmpty())
        return font;
    const QStringList parts = text.split(QLatin1Char(','));
    const int first = ToInt(parts[0]);
    if (first == 0)
        return font;
    if (parts.size() >= 3) {
        font.height = std::abs(first);
        if (!parts[1].trimmed().isEmpty())
            font.face = parts[1].trimmed();
        font.width = std::abs(ToInt(parts[2]));
        return font;
    }
    font.height = GlyphHeight(first);
    if (parts.size() == 2 && !parts[1].trimmed().isEmpty())
        font.face = parts[1].trimmed();
    return font;
}

namespace {

QFont QtFont(const QString& face, int height, int width) {
    QFont font(face);
    font.setPixelSize(std::max(1, height));
    if (width > 0) {
        // An explicit font is the lightest weight of its face.
        font.setWeight(QFont::Thin);
        // An explicit width is the average glyph width; the faces used here are about half as
        // wide as they are high.
        font.setStretch(std::clamp(width * 200 / std::max(1, height), 1, 4000));
    }
    return font;
}

} // namespace

void PrintLayout::DrawText(QPainter& painter, const QRect& box, const QString& text, int format,
                           const Font& font) const {
    if (text.isEmpty())
        return;
    const QRect rect = box.adjusted(kInsetSide, kInsetTop, -kInsetSide, -kInsetBottom);
    int flags = Qt::TextWordWrap;
    if (format & kCenter)
        flags |= Qt::AlignHCenter;
    else if (format & kRight)
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;
    const bool singleLine = format & kSingleLine;
    if (singleLine) {
        flags = (flags & ~Qt::TextWordWrap) | Qt::TextSingleLine;
        // Vertical placement applies to a single line only, as the platform lays text out.
        if (format & kVCenter)
            flags |= Qt::AlignVCenter;
        else if (format & kBottom)
            flags |= Qt::AlignBottom;
        else
            flags |= Qt::AlignTop;
    } else {
        flags |= Qt::AlignTop;
    }
    int height = font.height;
    QFont qfont = QtFont(font.face, height, font.width);
    if (format == 37) {
        // A single centred line shrinks until it fits its box.
        painter.setFont(qfont);
        while (height > 1 && painter.fontMetrics().horizontalAdvance(text) > rect.width()) {
            --height;
            qfont = QtFont(font.face, height, font.width * height / std::max(1, font.height));
            painter.setFont(qfont);
        }
    } else if (format > 2063) {
        // Wrapped text: the largest size whose block fits the height, centred in it.
        int low = 1;
        int high = std::max(1, font.height);
        while (low < high) {
            const int middle = (low + high + 1) / 2;
            painter.setFont(
                QtFont(font.face, middle, font.width * middle / std::max(1, font.height)));
            const QRect need = painter.boundingRect(
                rect, Qt::TextWordWrap | (flags & Qt::AlignHorizontal_Mask), text);
            if (need.height() <= rect.height())
                low = middle;
            else
                high = middle - 1;
        }
        qfont = QtFont(font.face, low, font.width * low / std::max(1, font.height));
        flags = (flags & ~Qt::AlignVertical_Mask & ~Qt::TextSingleLine) | Qt::TextWordWrap |
                Qt::AlignVCenter;
    }
    painter.setFont(qfont);
    painter.drawText(rect, flags, text);
}

void PrintLayout::DrawBoxes(QPainter& painter, const QRect& rect, const QString& text, int boxWidth,
                            const Font& font) const {
    if (boxWidth <= 0)
        return;
    // One character per box, the last character in the rightmost box.
    int right = rect.right() + 1;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        const QRect box(right - boxWidth, rect.top(), boxWidth, rect.height());
        DrawText(painter, box, text.mid(i, 1), 5, font);
        right -= boxWidth;
    }
}

void PrintLayout::DrawItem(QPainter& painter, const XmlNode& item, int tableTop, int shift) {
    const Font font = FontOf(item.GetAttribute("font"));
    const int wnd = item.GetAttributeInt("wnd", 0);
    QWidget* control = wnd > 0 ? form_.ControlByWindowId(WindowIdOfDocumentId(wnd)) : nullptr;
    const QString controlText = control ? ControlText(control) : QString();
    QRect rect = LayoutRect(item.GetAttribute("pos"));
    if (rect.top() > tableTop) {
        rect.translate(0, -shift);
    }
    switch (item.GetAttributeInt("align", 0)) {
    case 2:
        rect.translate(freeWidth_ / 2, 0);
        break;
    case 3:
        rect.translate(freeWidth_, 0);
        break;
    case 4:
        rect.setRight(rect.right() + freeWidth_);
        break;
    default:
        break;
    }
    rect.translate(offsetX_, offsetY_);
    const QString kind = item.GetAttribute("wnd_type");
    const QString value = item.GetAttribute("value");
    const QString ahead = item.GetAttribute("value_ahead");
    const int format = item.GetAttributeInt("format", 0);
    const int boxWidth = item.GetAttributeInt("split_size", 0);
    if (kind.isEmpty()) {
        if (rect.width() < 0)
            return;
        DrawText(painter, rect, value.isEmpty() ? ahead + controlText : value, format, font);
    } else if (kind == QLatin1String("line")) {
        const int width = value.isEmpty() ? 1 : std::max(0, ToInt(value));
        QPen pen(Qt::black, width, Qt::SolidLine, Qt::SquareCap);
        painter.setPen(pen);
        painter.drawLine(rect.topLeft(),
                         QPoint(rect.left() + rect.width(), rect.top() + rect.height()));
        painter.setPen(Qt::black);
    } else if (kind == QLatin1String("checked")) {
        const auto* box = qobject_cast<const QCheckBox*>(control);
        if (box && box->isChecked())
            DrawText(painter, rect, value.isEmpty() ? ahead + controlText : value, format, font);
    } else if (kind == QLatin1String("CNY")) {
        QString amount = controlText;
        if (!amount.isEmpty())
            amount = QString::number(amount.trimmed().toDouble(), 'f', 2).remove(QLatin1Char('.'));
        DrawBoxes(painter, rect, ahead + amount, boxWidth, font);
    } else if (kind == QLatin1String("thousandth")) {
        DrawText(painter, rect, ahead + ThousandsText(controlText), format, font);
    } else if (kind == QLatin1String("split")) {
        DrawBoxes(painter, rect, ahead + controlText, boxWidth, font);
    } else if (kind == QLatin1String("qr")) {
        DrawQr(painter, rect, controlText);
    } else if (kind.startsWith(QLatin1String("128"))) {
        const QString modules = EncodeCode128(kind, controlText);
        if (!modules.isEmpty())
            DrawBars(painter, rect, modules);
    }
}

int PrintLayout::DrawTable(QPainter& painter, const XmlNode& table, int page, int pageCount,
                           int& tableTop) {
    const auto* grid = qobject_cast<const GridView*>(
        form_.ControlByWindowId(WindowIdOfDocumentId(table.GetAttributeInt("value", 0))));
    const Font font = FontOf(table.GetAttribute("font"));
    const QRect design = LayoutRect(table.GetAttribute("pos"));
    tableTop = design.top();
    if (!grid)
        return 0;
    QRect rect = design.translated(offsetX_, offsetY_);
    const TableRows measure = MeasureTable(table);
    const int per = std::max(1, measure.perPage);
    const int first = (page - 1) * per;
    const int last = std::min(page * per, measure.rows);
    const int count = std::max(0, last - first);
    const int format = table.GetAttributeInt("format", 0);
    const int tableAlign = table.GetAttributeInt("align", 0);
    const int available = rect.width() + ((tableAlign == 0 || tableAlign == 4) ? freeWidth_ : 0);
    rect.setWidth(available);

    // Column widths: negative ones come from the list in the `wnd_type` control.
    const int listControl = table.GetAttributeInt("wnd_type", 0);
    const QStringList list =
        listControl > 0 ? ControlTextOf(listControl).split(QLatin1Char(','), Qt::SkipEmptyParts)
                        : QStringList();
    const XmlNodes cells = table.GetChild("col_info_print").GetChildren();
    const int columns = std::max(0, cells.GetCount());
    std::vector<int> widths(columns);
    int sum = 0;
    int lastListed = -1;
    for (int i = 0; i < columns; ++i) {
        int width = cells.GetItem(i).GetAttributeInt("width", 0);
        if (width < 0) {
            const int entry = -width - 1;
            width = entry < list.size() ? ToInt(list[entry]) : 0;
            lastListed = i;
        }
        widths[i] = std::max(0, width);
        sum += widths[i];
    }
    if (sum > 0) {
        int scaledSum = 0;
        for (int& width : widths) {
            width = int(qint64(width) * available / sum);
            scaledSum += width;
        }
        // The rounding remainder goes to the last listed column (or the last one).
        const int target = lastListed >= 0 ? lastListed : columns - 1;
        if (target >= 0)
            widths[target] += available - scaledSum;
    }

    // Page number.
    const QString info = QStringLiteral("第 %1/%2 页").arg(page).arg(pageCount);
    if (!pageInfoPos_.isEmpty()) {
        QRect at = LayoutRect(pageInfoPos_);
        at.translate(freeWidth_ + offsetX_, offsetY_);
        DrawText(painter, at, info, 38, font);
    } else {
        const int bottom = rect.top() + format;
        DrawText(painter, QRect(rect.left(), bottom - 50, rect.width(), 50), info, 38, font);
    }

    const qreal heavy = 2; // 0.2 mm
    const QPen thin(Qt::black, 1);
    const QPen thick(Qt::black, heavy, Qt::SolidLine, Qt::SquareCap);
    const bool lines = format == 0;
    int y = rect.top();
    if (lines) {
        painter.setPen(thick);
        painter.drawLine(rect.left(), y, rect.left() + available, y);
    }

    // Header rows.
    const XmlNodes heads = table.GetChild("head_info_print").GetChildren();
    QString previousRow;
    int x = rect.left();
    bool anyHead = false;
    for (int i = 0; i < std::max(0, heads.GetCount()); ++i) {
        const XmlNode cell = heads.GetItem(i);
        const QString row = cell.GetAttribute("row_id");
        if (!anyHead || row != previousRow) {
            if (anyHead) {
                y += measure.headHeight;
                if (lines) {
                    painter.setPen(thin);
                    painter.drawLine(rect.left(), y, rect.left() + available, y);
                }
            }
            anyHead = true;
            previousRow = row;
            x = rect.left();
        }
        int width = cell.GetAttributeInt("width", 0);
        if (width < 0) {
            const int entry = -width - 1;
            width = entry < list.size() ? ToInt(list[entry]) : 0;
        }
        if (sum > 0)
            width = int(qint64(width) * available / sum);
        if (lines) {
            QString title = cell.GetAttribute("title");
            if (title.isEmpty()) {
                const int column = (listControl > 0 ? cell.GetAttributeInt("col_ids", 0)
                                                    : cell.GetAttributeInt("id", 0)) -
                                   1;
                if (const ColumnInfo* info = grid->Model()->Column(column))
                    title = info->title;
            }
            painter.setPen(Qt::black);
            DrawText(painter, QRect(x, y, width, measure.headHeight), title,
                     cell.GetAttributeInt("align", 37), font);
            painter.setPen(thin);
            painter.drawLine(x, y, x, y + measure.headHeight);
        }
        x += width;
    }
    if (anyHead) {
        if (lines) {
            painter.setPen(thin);
            painter.drawLine(rect.left() + available, y, rect.left() + available,
                             y + measure.headHeight);
        }
        y += measure.headHeight;
        if (lines)
            painter.drawLine(rect.left(), y, rect.left() + available, y);
    }

    // Data rows.
    const int dataTop = y;
    for (int r = first; r < last; ++r) {
        x = rect.left();
        painter.setPen(Qt::black);
        for (int c = 0; c < columns; ++c) {
            const XmlNode cell = cells.GetItem(c);
            const int column = cell.GetAttributeInt("col_id", 0);
            if (column > 0)
                DrawText(painter, QRect(x, y, widths[c], measure.rowHeight),
                         grid->CellText(r, column - 1), cell.GetAttributeInt("align", 0), font);
            x += widths[c];
        }
        y += measure.rowHeight;
        if (lines) {
            painter.setPen(r == last - 1 ? thick : thin);
            painter.drawLine(rect.left(), y, rect.left() + available, y);
        }
    }
    if (lines && count > 0) {
        painter.setPen(thin);
        x = rect.left();
        for (int c = 0; c <= columns; ++c) {
            painter.drawLine(x, dataTop, x, y);
            if (c < columns)
                x += widths[c];
        }
        painter.setPen(thick);
        painter.drawLine(rect.left(), rect.top(), rect.left(), y);
        painter.drawLine(rect.left() + available, rect.top(), rect.left() + available, y);
    }
    painter.setPen(Qt::black);
    if (table.GetAttribute("value_ahead") == QLatin1String("1"))
        return -measure.reserve;
    return (per - count) * measure.rowHeight - measure.reserve;
}

void PrintLayout::DrawPage(QPainter& painter, int page, int pageCount) {
    const QString left = para_.GetAttribute("left");
    const QString top = para_.GetAttribute("top");
    if (left.startsWith(QLatin1String("0:")) && top.startsWith(QLatin1String("0:"))) {
        offsetX_ = ControlIntOf(ToInt(left.mid(2)));
        offsetY_ = ControlIntOf(ToInt(top.mid(2)));
    } else {
        offsetX_ = ToInt(left) + shift_.left;
        offsetY_ = ToInt(top) + shift_.top;
    }
    const int headWidth = para_.GetAttributeInt("head_width", 0);
    // A layout that names no design width was made for the paper it prints on.
    freeWidth_ = headWidth > 0 ? pageWidth_ - headWidth : 0;

    painter.save();
    const QPaintDevice* device = painter.device();
    painter.scale(device->logicalDpiX() / 254.0, device->logicalDpiY() / 254.0);
    painter.setRenderHint(QPainter::Antialiasing, false);

    QString background = para_.GetAttribute("bg_img");
    if (!background.isEmpty()) {
        if (!background.contains(QLatin1Char('.')))
            background = ControlTextOf(ToInt(background));
        const QImage image(background);
        if (!image.isNull())
            painter.drawImage(LayoutRect(para_.GetAttribute("img_pos")), image);
    }

    defaultSize_ = 36;
    defaultFont_.face = QStringLiteral("宋体");
    const QStringList defaults = para_.GetAttribute("font_default").split(QLatin1Char(','));
    if (defaults.size() == 2 && ToInt(defaults[0]) != 0) {
        defaultSize_ = ToInt(defaults[0]);
        defaultFont_.face = defaults[1].trimmed();
    }
    defaultFont_.height = GlyphHeight(defaultSize_);
    defaultFont_.width = 0;
    pageInfoPos_ = para_.GetAttribute("page_info_pos");

    painter.setPen(Qt::black);
    int tableTop = 0;
    int shift = 0;
    const XmlNodes children = para_.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i) {
        const XmlNode child = children.GetItem(i);
        if (child.GetName() == QLatin1String("table_print"))
            shift = DrawTable(painter, child, page, pageCount, tableTop);
        else
            DrawItem(painter, child, tableTop, shift);
    }
    painter.restore();
}

int PrintPages(PrintLayout& layout, QPagedPaintDevice& device) {
    const int pages = layout.PageCount(device);
    if (pages <= 0)
        return 0;
    QPainter painter;
    if (!painter.begin(&device))
        return -1;
    for (int page = 1; page <= pages; ++page) {
        if (page > 1)
            device.newPage();
        layout.DrawPage(painter, page, pages);
    }
    painter.end();
    return pages;
}

int WritePdf(PrintLayout& layout, const QString& path, const QPageSize& size, bool landscape,
             const QString& title) {
    QPdfWriter writer(path);
    writer.setPageLayout(QPageLayout(
        size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    writer.setResolution(600);
    writer.setCreator(QStringLiteral("Vemo"));
    writer.setTitle(title);
    return PrintPages(layout, writer);
}
