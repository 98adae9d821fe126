#include "platform/TemplateWorkbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "platform/ZipLibrary.h"

#include <pugixml.hpp>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The workbook is a zip of XML parts. Only three parts change: the filled sheet, the workbook
// (recalculation on open) and the content types (a template becomes a workbook); the formula
// chain is dropped so that the program rebuilds it. Every other part is copied byte for byte.

namespace platform {

namespace {

struct Part {
    std::string name;
    std::string data;
};

const char* const kTemplateType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml";
const char* const kWorkbookType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";

bool ReadParts(const ZipLibrary& zip, const QString& path, std::vector<Part>& parts,
               QString& error) {
    int code = 0;
    zip_t* archive = zip.open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!archive) {
        error = QStringLiteral("模板 %1 不是 .xlsx 格式的工作簿").arg(QFileInfo(path).fileName());
        return false;
    }
    const zip_int64_t count = zip.getNumEntries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip.statIndex(archive, zip_uint64_t(i), 0, &st) != 0)
            continue;
        Part part{st.name, std::string(st.size, '\0')};
        zip_file_t* file = zip.fopenIndex(archive, zip_uint64_t(i), 0);
        if (!file || zip.fread(file, part.data.data(), st.size) != zip_int64_t(st.size)) {
            if (file)
                zip.fclose(file);
            zip.discard(archive);
            error = QStringLiteral("模板 %1 已损坏").arg(QFileInfo(path).fileName());
            return false;
        }
        zip.fclose(file);
        parts.push_back(std::move(part));
    }
    zip.discard(archive);
    return true;
}

Part* FindPart(std::vector<Part>& parts, const std::string& name) {
    for (Part& part : parts)
        if (part.name == name)
            return &part;
    return nullptr;
}

std::string Saved(const pugi::xml_document& doc) {
    struct Writer : pugi::xml_writer {
        std::string text;
        void write(const void* data, size_t size) override {
            text.append(static_cast<const char*>(data), size);
        }
    } writer;
    doc.save(writer, "", pugi::format_raw);
    return writer.text;
}

std::string NodeText(const pugi::xml_node& node) {
    struct Writer : pugi::xml_writer {
        std::string text;
        void write(const void* data, size_t size) override {
            text.append(static_cast<const char*>(data), size);
        }
    } writer;
    node.print(writer, "", pugi::format_raw);
    return writer.text;
}

// "AB12" → column 28 (1-based); 0 when there is no column.
int ColumnOfReference(const char* ref) {
    int column = 0;
    for (; *ref >= 'A' && *ref <= 'Z'; ++ref)
        column = column * 26 + (*ref - 'A' + 1);
    return column;
}

std::string ColumnName(int column) {
    std::string name;
    for (; column > 0; column = (column - 1) / 26)
        name.insert(name.begin(), char('A' + (column - 1) % 26));
    return name;
}

// A plain decimal number, as the program would store it as a number: no leading zeros, no
// more than 15 significant digits (longer digit strings are identity or account numbers).
bool IsNumber(const QString& text) {
    qsizetype i = 0;
    if (i < text.size() && text[i] == u'-')
        ++i;
    const qsizetype start = i;
    int digits = 0;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
        ++i;
        ++digits;
    }
    if (digits == 0 || (digits > 1 && text[start] == u'0'))
        return false;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        int fraction = 0;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
            ++i;
            ++fraction;
        }
        if (fraction == 0)
            return false;
        digits += fraction;
    }
    return i == text.size() && digits <= 15;
}

void AppendEscaped(std::string& out, const QString& text) {
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            // Control characters other than tab and line breaks are not allowed in XML.
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r')
                out += c;
        }
    }
}

// The sheet's rows: the template's, with the filled range merged in, in row order.
class SheetWriter {
public:
    SheetWriter(const WorkbookFill& fill, pugi::xml_document& sheet) : fill_(fill), sheet_(sheet) {}

    bool Write(std::string& out, QString& error) {
        pugi::xml_node worksheet = sheet_.child("worksheet");
        pugi::xml_node data = worksheet.child("sheetData");
        if (!data) {
            error = QStringLiteral("模板的工作表缺少数据区");
            return false;
        }
        for (pugi::xml_node col : worksheet.child("cols").children("col"))
            for (int c = col.attribute("min").as_int(); c <= col.attribute("max").as_int(); ++c)
                if (col.attribute("style"))
                    columnStyles_[c] = col.attribute("style").value();
        // Copies: the sheet's own rows are taken out below.
        for (pugi::xml_node row : data.children("row"))
            templateRows_[row.attribute("r").as_int()] = keptRows_.append_copy(row);
        UpdateDimension(worksheet);

        // The rows go where a marker stands in the saved sheet.
        for (pugi::xml_node row = data.first_child(); row;) {
            pugi::xml_node next = row.next_sibling();
            data.remove_child(row);
            row = next;
        }
        static const std::string kMarker = "{{vemo rows}}";
        data.append_child(pugi::node_pcdata).set_value(kMarker.c_str());
        const std::string text = Saved(sheet_);
        const size_t marker = text.rfind(kMarker);
        if (marker == std::string::npos) {
            error = QStringLiteral("模板的工作表无法处理");
            return false;
        }
        out.reserve(text.size() + size_t(fill_.rows.size()) * 64 * 10);
        out.append(text, 0, marker);
        WriteRows(out);
        out.append(text, marker + kMarker.size(), std::string::npos);
        return true;
    }

private:
    void UpdateDimension(pugi::xml_node worksheet) {
        int maxRow = 1;
        int maxColumn = 1;
        for (const auto& [r, row] : templateRows_) {
            maxRow = std::max(maxRow, r);
            for (pugi::xml_node c : row.children("c"))
                maxColumn = std::max(maxColumn, ColumnOfReference(c.attribute("r").value()));
        }
        if (!fill_.rows.isEmpty()) {
            maxRow = std::max(maxRow, fill_.startRow + int(fill_.rows.size()) - 1);
            int widest = 0;
            for (const QStringList& row : fill_.rows)
                widest = std::max(widest, int(row.size()));
            maxColumn = std::max(maxColumn, fill_.startColumn + widest - 1);
        }
        pugi::xml_node dimension = worksheet.child("dimension");
        if (dimension)
            dimension.attribute("ref").set_value(
                ("A1:" + ColumnName(maxColumn) + std::to_string(maxRow)).c_str());
    }

    void WriteRows(std::string& out) {
        const int first = fill_.startRow;
        const int last = fill_.startRow + int(fill_.rows.size()) - 1;
        auto templateRow = templateRows_.begin();
        // Template rows above the filled range, then the range, then those below.
        for (; templateRow != templateRows_.end() && templateRow->first < first; ++templateRow)
            out += NodeText(templateRow->second);
        for (int r = first; r <= last; ++r) {
            pugi::xml_node original;
            if (templateRow != templateRows_.end() && templateRow->first == r)
                original = (templateRow++)->second;
            WriteFilledRow(out, r, original, fill_.rows[r - first]);
            if (fill_.progress && (r - first + 1) % 5000 == 0)
                fill_.progress(r - first + 1);
        }
        for (; templateRow != templateRows_.end(); ++templateRow)
            if (templateRow->first > last)
                out += NodeText(templateRow->second);
    }

    void WriteFilledRow(std::string& out, int r, pugi::xml_node original,
                        const QStringList& cells) {
        const std::string number = std::to_string(r);
        std::string rowStyle;
        out += "<row r=\"" + number + "\"";
        if (original) {
            for (pugi::xml_attribute a : original.attributes()) {
                const std::string name = a.name();
                if (name == "r" || name == "spans")
                    continue;
                out += ' ' + name + "=\"";
                AppendEscaped(out, QString::fromUtf8(a.value()));
                out += '"';
            }
            if (original.attribute("customFormat").as_bool())
                rowStyle = original.attribute("s").value();
        }
        out += '>';
        // The template's cells of this row by column; filled cells take their place.
        std::map<int, pugi::xml_node> kept;
        if (original)
            for (pugi::xml_node c : original.children("c"))
                kept[ColumnOfReference(c.attribute("r").value())] = c;
        const int firstColumn = fill_.startColumn;
        const int lastColumn = fill_.startColumn + int(cells.size()) - 1;
        auto keptCell = kept.begin();
        for (; keptCell != kept.end() && keptCell->first < firstColumn; ++keptCell)
            out += NodeText(keptCell->second);
        for (int c = firstColumn; c <= lastColumn; ++c) {
            std::string style;
            if (keptCell != kept.end() && keptCell->first == c)
                style = (keptCell++)->second.attribute("s").value();
            else if (!rowStyle.empty())
                style = rowStyle;
            else if (const auto column = columnStyles_.find(c); column != columnStyles_.end())
                style = column->second;
            WriteCell(out, ColumnName(c) + number, style, cells[c - firstColumn]);
        }
        for (; keptCell != kept.end(); ++keptCell)
            if (keptCell->first > lastColumn)
                out += NodeText(keptCell->second);
        out += "</row>";
    }

    static void WriteCell(std::string& out, const std::string& ref, const std::string& style,
                          const QString& text) {
        out += "<c r=\"" + ref + '"';
        if (!style.empty())
            out += " s=\"" + style + '"';
        if (text.isEmpty()) {
            out += "/>";
        } else if (IsNumber(text)) {
            out += "><v>";
            out += text.toStdString();
            out += "</v></c>";
        } else {
            out += " t=\"inlineStr\"><is><t xml:space=\"preserve\">";
            AppendEscaped(out, text);
            out += "</t></is></c>";
        }
    }

    const WorkbookFill& fill_;
    pugi::xml_document& sheet_;
    pugi::xml_document keptRows_;
    std::map<int, pugi::xml_node> templateRows_;
    std::map<int, std::string> columnStyles_;
};

// The part name of the sheet called `name` (letter case ignored), from the workbook and its
// relationships; empty when there is none.
std::string SheetPart(std::vector<Part>& parts, const QString& name) {
    Part* workbook = FindPart(parts, "xl/workbook.xml");
    Part* rels = FindPart(parts, "xl/_rels/workbook.xml.rels");
    if (!workbook || !rels)
        return {};
    pugi::xml_document book;
    pugi::xml_document links;
    if (!book.load_buffer(workbook->data.data(), workbook->data.size()) ||
        !links.load_buffer(rels->data.data(), rels->data.size()))
        return {};
    std::string id;
    for (pugi::xml_node sheet : book.child("workbook").child("sheets").children("sheet"))
        if (QString::fromUtf8(sheet.attribute("name").value()).compare(name, Qt::CaseInsensitive) ==
            0)
            id = sheet.attribute("r:id").value();
    if (id.empty())
        return {};
    for (pugi::xml_node link : links.child("Relationships").children("Relationship")) {
        if (id != link.attribute("Id").value())
            continue;
        std::string target = link.attribute("Target").value();
        return target.rfind('/', 0) == 0 ? target.substr(1) : "xl/" + target;
    }
    return {};
}

// Recalculation on opening, and no formula chain: the filled cells change what formulas see.
void PrepareWorkbook(std::vector<Part>& parts) {
    if (Part* workbook = FindPart(parts, "xl/workbook.xml")) {
        pugi::xml_document doc;
        if (doc.load_buffer(workbook->data.data(), workbook->data.size())) {
            pugi::xml_node root = doc.child("workbook");
            pugi::xml_node calc = root.child("calcPr");
            if (!calc)
                calc = root.insert_child_after("calcPr", root.child("sheets"));
            if (!calc.attribute("fullCalcOnLoad"))
                calc.append_attribute("fullCalcOnLoad");
            calc.attribute("fullCalcOnLoad").set_value("1");
            workbook->data = Saved(doc);
        }
    }
    if (Part* rels = FindPart(parts, "xl/_rels/workbook.xml.rels")) {
        pugi::xml_document doc;
        if (doc.load_buffer(rels->data.data(), rels->data.size())) {
            pugi::xml_node root = doc.child("Relationships");
            for (pugi::xml_node link = root.first_child(); link;) {
                pugi::xml_node next = link.next_sibling();
                if (std::string(link.attribute("Target").value()).find("calcChain") !=
                    std::string::npos)
                    root.remove_child(link);
                link = next;
            }
            rels->data = Saved(doc);
        }
    }
    if (Part* types = FindPart(parts, "[Content_Types].xml")) {
        pugi::xml_document doc;
        if (doc.load_buffer(types->data.data(), types->data.size())) {
            pugi::xml_node root = doc.child("Types");
            for (pugi::xml_node entry = root.first_child(); entry;) {
                pugi::xml_node next = entry.next_sibling();
                const std::string part = entry.attribute("PartName").value();
                if (part.find("calcChain") != std::string::npos)
                    root.remove_child(entry);
                else if (std::string(entry.attribute("ContentType").value()) == kTemplateType)
                    entry.attribute("ContentType").set_value(kWorkbookType);
                entry = next;
            }
            types->data = Saved(doc);
        }
    }
    parts.erase(std::remove_if(parts.begin(), parts.end(),
                               [](const Part& p) { return p.name == "xl/calcChain.xml"; }),
                parts.end());
}

bool WriteParts(const ZipLibrary& zip, const QString& path, const std::vector<Part>& parts,
                QString& error) {
    int code = 0;
    zip_t* archive =
        zip.open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive) {
        error = QStringLiteral("无法写入 %1").arg(path);
        return false;
    }
    for (const Part& part : parts) {
        zip_source_t* source = zip.sourceBuffer(archive, part.data.data(), part.data.size(), 0);
        const zip_int64_t index =
            source ? zip.fileAdd(archive, part.name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (source)
                zip.sourceFree(source);
            zip.discard(archive);
            error = QStringLiteral("无法写入 %1").arg(path);
            return false;
        }
        // Speed over size for the large sheet: the fastest deflate level.
        zip.setFileCompression(archive, zip_uint64_t(index), ZIP_CM_DEFLATE, 1);
    }
    if (zip.close(archive) != 0) {
        zip.discard(archive);
        error = QStringLiteral("无法写入 %1").arg(path);
        return false;
    }
    return true;
}

} // namespace

WorkbookResult FillTemplateWorkbook(const WorkbookFill& fill) {
    WorkbookResult result;
    QString loadError;
    const ZipLibrary* const zip = ZipLibrary::Get(loadError);
    if (!zip) {
        result = {false, QStringLiteral("无法导出电子表格：未能加载 libzip 库，"
                                        "请安装 Debian 软件包 libzip4（%1）")
                             .arg(loadError)};
        return result;
    }
    std::vector<Part> parts;
    if (!ReadParts(*zip, fill.templatePath, parts, result.error)) {
        result.ok = false;
        return result;
    }
    const std::string sheetName = SheetPart(parts, fill.sheetName);
    Part* sheet = sheetName.empty() ? nullptr : FindPart(parts, sheetName);
    if (!sheet) {
        result = {false, QStringLiteral("模板中没有名为 %1 的工作表").arg(fill.sheetName)};
        return result;
    }
    pugi::xml_document doc;
    if (!doc.load_buffer(sheet->data.data(), sheet->data.size())) {
        result = {false, QStringLiteral("模板的工作表 %1 已损坏").arg(fill.sheetName)};
        return result;
    }
    std::string filled;
    if (!SheetWriter(fill, doc).Write(filled, result.error)) {
        result.ok = false;
        return result;
    }
    sheet->data = std::move(filled);
    PrepareWorkbook(parts);

    // Written under another name first, so that a failure never leaves half a file.
    const QString partial = fill.outputPath + QStringLiteral(".part");
    if (!WriteParts(*zip, partial, parts, result.error)) {
        QFile::remove(partial);
        result.ok = false;
        return result;
    }
    QFile::remove(fill.outputPath);
    if (!QFile::rename(partial, fill.outputPath)) {
        QFile::remove(partial);
        result = {false, QStringLiteral("无法写入 %1").arg(fill.outputPath)};
    }
    return result;
}

WorkbookResult ConvertLegacyWorkbook(const QString& xlsPath, const QString& outFolder,
                                     QString& xlsxPath) {
    const QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (office.isEmpty())
        return {false, QStringLiteral("模板 %1 是旧的 .xls 格式：本机没有安装 LibreOffice，"
                                      "只能使用 .xlsx 格式的模板")
                           .arg(QFileInfo(xlsPath).fileName())};
    QProcess convert;
    convert.start(office, {QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                           QStringLiteral("xlsx"), QStringLiteral("--outdir"), outFolder, xlsPath});
    const bool done = convert.waitForFinished(120000) && convert.exitCode() == 0;
    xlsxPath =
        QDir(outFolder).filePath(QFileInfo(xlsPath).completeBaseName() + QStringLiteral(".xlsx"));
    if (!done || !QFileInfo::exists(xlsxPath))
        return {
            false,
            QStringLiteral("模板 %1 无法从 .xls 转换为 .xlsx").arg(QFileInfo(xlsPath).fileName())};
    return {};
}

} // namespace platform
