#pragma once
// The page engine: turns a form's `print_para` layout into pages. Positions are tenths of a
// millimetre from the top-left corner of the printable area; texts come from the form's
// controls (a control's document id + 1024 is its window id) and from the layout itself.
#include "form/XmlDocument.h"

#include <QString>

class CommandContext;
class QPagedPaintDevice;
class QPainter;
class QPageSize;
class QPaintDevice;
class QRect;

// The shift the user set for a layout (POS_LEFT/POS_TOP), in layout units.
struct PageShift {
    int left = 0;
    int top = 0;
};

class PrintLayout {
public:
    PrintLayout(CommandContext& form, const FormXml::XmlNode& printPara, PageShift shift = {});

    // Number of pages the first deciding table needs on `device` (1 without a table, 0 for a
    // table over an empty grid). Also fixes the page size used by DrawPage.
    int PageCount(const QPaintDevice& device);
    // Draws page `page` (from 1) of `pageCount` with `painter` on the device PageCount measured.
    void DrawPage(QPainter& painter, int page, int pageCount);

    int PageWidth() const { return pageWidth_; }
    int PageHeight() const { return pageHeight_; }

private:
    struct Font {
        QString face;
        int height = 0; // layout units
        int width = 0;  // 0 = the face's own width
    };
    struct TableRows {
        int rows = 0;
        int headHeight = 0; // th
        int rowHeight = 0;  // rh
        int perPage = 0;
        int reserve = 0;
    };

    QString ControlTextOf(int documentId) const;
    int ControlIntOf(int documentId) const;
    int HeadHeight() const;
    TableRows MeasureTable(const FormXml::XmlNode& table) const;
    Font FontOf(const QString& text) const;
    void DrawText(QPainter& painter, const QRect& rect, const QString& text, int format,
                  const Font& font) const;
    void DrawBoxes(QPainter& painter, const QRect& rect, const QString& text, int boxWidth,
                   const Font& font) const;
    void DrawItem(QPainter& painter, const FormXml::XmlNode& item, int tableTop, int shift);
    // Draws the table's part of page `page`; returns how far items below it move up.
    int DrawTable(QPainter& painter, const FormXml::XmlNode& table, int page, int pageCount,
                  int& tableTop);

    CommandContext& form_;
    FormXml::XmlNode para_;
    PageShift shift_;
    int pageWidth_ = 2100;
    int pageHeight_ = 2970;
    int offsetX_ = 0;
    int offsetY_ = 0;
    int freeWidth_ = 0;
    Font defaultFont_;
    int defaultSize_ = 36;
    QString pageInfoPos_;
};

// "1234567.891" → "1,234,567.89"; 0 and unreadable text → "0.00".
QString ThousandsText(const QString& text);
// The rectangle text of a layout, "left,top,right,bottom"; a malformed one shows
// "矩形数据格式错误" and gives the zero rectangle.
QRect LayoutRect(const QString& text);

// Draws every page of `layout` on `device` (a printer or a PDF writer); returns the number of
// pages, 0 when there was nothing to print, -1 when the device could not be painted on.
int PrintPages(PrintLayout& layout, QPagedPaintDevice& device);
// Writes every page to a PDF file of paper `size`, with the whole sheet printable.
int WritePdf(PrintLayout& layout, const QString& path, const QPageSize& size,
             bool landscape = false, const QString& title = {});
