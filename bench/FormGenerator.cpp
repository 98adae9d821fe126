#include "FormGenerator.h"

#include <random>

namespace bench {

namespace {

// Words of the captions and names business forms are made of.
const char16_t* const kWords[] = {u"物料", u"编码", u"名称",   u"规格",   u"单位",   u"数量",
                                  u"单价", u"金额", u"客户",   u"供应商", u"仓库",   u"日期",
                                  u"备注", u"部门", u"经手人", u"订单",   u"入库",   u"出库",
                                  u"结算", u"税率", u"地址",   u"电话",   u"联系人", u"状态",
                                  u"类别", u"批号", u"有效期", u"折扣",   u"付款",   u"发票"};
const char* const kFields[] = {"uid_0",   "name_0", "code_0",  "size_0",  "unit_0", "qty_0",
                               "price_0", "sum_0",  "cust_0",  "store_0", "date_0", "memo_0",
                               "dept_0",  "user_0", "state_0", "type_0",  "batch_0"};
const char* const kTables[] = {"c_material", "c_customer", "b_order",  "b_order_detail",
                               "b_stock",    "c_store",    "b_invoice"};

QString Escape(QString text) {
    text.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    text.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    text.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    text.replace(QLatin1Char('\''), QLatin1String("&apos;"));
    text.replace(QLatin1Char('"'), QLatin1String("&quot;"));
    return text;
}

QString Pos(const QRect& r) {
    return QStringLiteral("%1,%2,%3,%4")
        .arg(r.left())
        .arg(r.top())
        .arg(r.left() + r.width())
        .arg(r.top() + r.height());
}

template <typename Random> QString Caption(Random& random, int words) {
    std::uniform_int_distribution<int> pick(0, int(std::size(kWords)) - 1);
    QString caption;
    for (int i = 0; i < words; ++i)
        caption += QString::fromUtf16(kWords[pick(random)]);
    return caption;
}

template <typename Random> QString Field(Random& random) {
    std::uniform_int_distribution<int> pick(0, int(std::size(kFields)) - 1);
    return QString::fromLatin1(kFields[pick(random)]);
}

template <typename Random> QString Table(Random& random) {
    std::uniform_int_distribution<int> pick(0, int(std::size(kTables)) - 1);
    return QString::fromLatin1(kTables[pick(random)]);
}

QString UiRect(const QRect& r) {
    return QStringLiteral("<property name=\"geometry\"><rect><x>%1</x><y>%2</y><width>%3</width>"
                          "<height>%4</height></rect></property>")
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height());
}

QString UiText(const char* property, const QString& text) {
    return QStringLiteral("<property name=\"%1\"><string>%2</string></property>")
        .arg(QLatin1String(property), Escape(text));
}

} // namespace

FormDescription MakeBenchForm(int controls, int gridColumns) {
    std::mt19937 random(20240601);
    FormDescription form;
    form.title = QStringLiteral("性能测试表单");
    constexpr int kPerRow = 10;
    constexpr int kCellWidth = 120;
    constexpr int kRowHeight = 28;
    const int small = std::max(0, controls - 1);
    const int rows = (small + kPerRow - 1) / kPerRow;
    const int gridTop = 10 + rows * kRowHeight + 10;
    form.size = QSize(10 + kPerRow * kCellWidth + 10, gridTop + 300 + 10);

    int id = 1;
    for (int i = 0; i < small; ++i, ++id) {
        FormControl c;
        c.id = id;
        c.rect = QRect(10 + (i % kPerRow) * kCellWidth, 10 + (i / kPerRow) * kRowHeight,
                       kCellWidth - 8, kRowHeight - 6);
        switch (i % 4) {
        case 0:
        case 1:
            c.kind = FormControl::Kind::TextBox;
            c.text = i % 8 == 0 ? Caption(random, 1) : QString();
            break;
        case 2:
            c.kind = FormControl::Kind::List;
            for (int k = 0; k < 6; ++k)
                c.items.append(Caption(random, 2));
            break;
        default:
            c.kind = FormControl::Kind::Button;
            c.text = Caption(random, 2);
            break;
        }
        form.controls.push_back(c);
    }
    if (controls > 0) {
        FormControl grid;
        grid.kind = FormControl::Kind::Grid;
        grid.id = id;
        grid.rect = QRect(10, gridTop, kPerRow * kCellWidth - 8, 300);
        for (int k = 0; k < gridColumns; ++k)
            grid.items.append(Caption(random, 2));
        form.controls.push_back(grid);
    }
    form.initQuery = QStringLiteral("SELECT id_0,name_0 FROM c_user WHERE uid_0=1");
    form.initTargets = {1, 2};
    return form;
}

QString ToDefinitionXml(const FormDescription& form) {
    QString xml = QStringLiteral("<html version='1.0' id='0'>\n<head title='%1' pos='0,0,%2,%3'>")
                      .arg(Escape(form.title))
                      .arg(form.size.width())
                      .arg(form.size.height());
    if (!form.initQuery.isEmpty()) {
        QStringList targets;
        for (int t : form.initTargets)
            targets.append(QString::number(t));
        xml += QStringLiteral("<ACTION><INIT><query_to_wnds target_ids='%1' values='%2'/></INIT>"
                              "</ACTION>")
                   .arg(targets.join(QLatin1Char(';')), Escape(form.initQuery));
    }
    xml += QStringLiteral("</head>\n<body><dialog>\n");
    for (const FormControl& c : form.controls) {
        const QString common = QStringLiteral("id='%1' pos='%2'").arg(c.id).arg(Pos(c.rect));
        switch (c.kind) {
        case FormControl::Kind::TextBox:
            xml += QStringLiteral("<textbox %1 value='%2'/>\n").arg(common, Escape(c.text));
            break;
        case FormControl::Kind::List:
            xml += QStringLiteral("<droplist %1 value='%2'/>\n")
                       .arg(common, Escape(c.items.join(QLatin1Char(';'))));
            break;
        case FormControl::Kind::Button:
            xml += QStringLiteral("<button %1 value='%2'/>\n").arg(common, Escape(c.text));
            break;
        case FormControl::Kind::Grid: {
            xml += QStringLiteral("<table %1><PARA><table_info><options is_col_color='0'/>"
                                  "</table_info><col_info>\n")
                       .arg(common);
            for (int k = 0; k < c.items.size(); ++k)
                xml += QStringLiteral("<col id='%1' title='%2' width='80'/>\n")
                           .arg(k + 1)
                           .arg(Escape(c.items[k]));
            xml += QStringLiteral("</col_info></PARA></table>\n");
            break;
        }
        }
    }
    xml += QStringLiteral("</dialog></body></html>\n");
    return xml;
}

QString ToUiXml(const FormDescription& form) {
    QString ui = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ui version=\"4.0\">\n"
                                "<class>BenchForm</class>\n<widget class=\"QDialog\" "
                                "name=\"BenchForm\">\n");
    ui += UiRect(QRect(QPoint(0, 0), form.size)) + UiText("windowTitle", form.title) +
          QLatin1Char('\n');
    for (const FormControl& c : form.controls) {
        const QString name = QStringLiteral("c%1").arg(c.id);
        switch (c.kind) {
        case FormControl::Kind::TextBox:
            ui += QStringLiteral("<widget class=\"QLineEdit\" name=\"%1\">%2%3</widget>\n")
                      .arg(name, UiRect(c.rect), UiText("text", c.text));
            break;
        case FormControl::Kind::List: {
            QString items;
            for (const QString& item : c.items)
                items += QStringLiteral("<item>%1</item>").arg(UiText("text", item));
            ui += QStringLiteral("<widget class=\"QComboBox\" name=\"%1\">%2<property "
                                 "name=\"editable\"><bool>true</bool></property>%3</widget>\n")
                      .arg(name, UiRect(c.rect), items);
            break;
        }
        case FormControl::Kind::Button:
            ui += QStringLiteral("<widget class=\"QPushButton\" name=\"%1\">%2%3</widget>\n")
                      .arg(name, UiRect(c.rect), UiText("text", c.text));
            break;
        case FormControl::Kind::Grid: {
            QString columns;
            for (const QString& title : c.items)
                columns += QStringLiteral("<column>%1</column>").arg(UiText("text", title));
            ui += QStringLiteral("<widget class=\"QTableWidget\" name=\"%1\">%2%3</widget>\n")
                      .arg(name, UiRect(c.rect), columns);
            break;
        }
        }
    }
    ui += QStringLiteral("</widget>\n<resources/>\n<connections/>\n</ui>\n");
    return ui;
}

QString MakeLargeDefinition(qsizetype chars) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> coordinate(0, 900);
    std::uniform_int_distribution<int> percent(0, 99);
    QString text = QStringLiteral("<html version='1.0' id='0'>\n<head title='%1' "
                                  "pos='0,0,1024,768'/>\n<body><dialog>\n")
                       .arg(Caption(random, 3));
    int id = 1;
    while (text.size() < chars) {
        const int x = coordinate(random);
        const int y = coordinate(random);
        const QString pos = QStringLiteral("%1,%2,%3,%4").arg(x).arg(y).arg(x + 100).arg(y + 22);
        const int kind = percent(random);
        if (kind < 35) {
            text += QStringLiteral("<static id='%1' pos='%2' value='%3：'/>\n")
                        .arg(id)
                        .arg(pos, Caption(random, 2));
        } else if (kind < 70) {
            text += QStringLiteral("<textbox id='%1' pos='%2' maxlen='%3' value=''/>\n")
                        .arg(id)
                        .arg(pos)
                        .arg(10 + percent(random));
        } else if (kind < 92) {
            const QString table = Table(random);
            const QString a = Field(random);
            const QString b = Field(random);
            text += QStringLiteral(
                        "<button id='%1' pos='%2' value='%3'><ACTION><CLICK>\n"
                        "<select_info_table><para_info_where select='SELECT uid_0,%4,%5 FROM %6' "
                        "where='1=1{{p1}}' order='uid_0 DESC' contain_head='1' "
                        "counts_in_page='%7' table_id='%8'>\n"
                        "<f value='%9' where=\" AND %4 LIKE '%{{self}}%'\"/>"
                        "</para_info_where></select_info_table>\n"
                        "<run_sql sql=\"UPDATE %6 SET %5='%10' WHERE uid_0={{selected_uid_0}}\"/>"
                        "\n</CLICK></ACTION></button>\n")
                        .arg(id)
                        .arg(pos, Caption(random, 2), a, b, table)
                        .arg(20 + percent(random))
                        .arg(id + 1)
                        .arg(id - 1)
                        .arg(Caption(random, 1));
        } else {
            text += QStringLiteral("<table id='%1' pos='%2'><PARA><col_info>\n").arg(id).arg(pos);
            const int columns = 4 + percent(random) % 12;
            for (int k = 1; k <= columns; ++k)
                text += QStringLiteral("<col id='%1' title='%2' width='%3' field='%4'/>\n")
                            .arg(k)
                            .arg(Caption(random, 2))
                            .arg(60 + percent(random))
                            .arg(Field(random));
            text += QStringLiteral("</col_info></PARA></table>\n");
        }
        ++id;
    }
    text += QStringLiteral("</dialog></body></html>\n");
    return text;
}

} // namespace bench
