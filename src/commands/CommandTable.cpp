#include "commands/CommandTable.h"
#include "commands/FileCommands.h"

#include "commands/GridCommands.h"
#include "commands/PopupEndCommands.h"
#include "commands/QueryCommands.h"
#include "commands/SaveCommands.h"
#include "commands/TreeCommands.h"
#include "commands/WebCommands.h"
#include "commands/WindowCommands.h"

#include "form/CommandContext.h"
#include "form/CommandRegistry.h"

#include <array>

namespace {

using enum CommandFamily;

constexpr auto kCommands = std::to_array<CommandEntry>({
    // The runner calls `jump` itself; it never reaches RunCommand.
    {"jump", Flow, &Jump},

    {"query_to_wnds", Query, &QueryToWnds},
    {"query_to_list", Query, &QueryToList},
    {"query_to_wnd", Query, &QueryToWnd},
    {"query_to_head", Query, &QueryToHead},
    {"query_to_lists", Query, &QueryToLists},
    {"query_to_lists2", Query, &QueryToLists2},
    {"select_info_table", Query, &SelectInfoTable},
    {"select_into", Query, &SelectInto},
    {"query_to_main", Query, &QueryToMain},
    {"query_tree", Query, &QueryTree},
    {"select_info_tree", Query, &SelectInfoTree},
    {"click_page", Query, &ClickPage},
    {"query_to_table", Query, &QueryToTable},
    {"query_to_tree_head", Query, &QueryToTreeHead},

    {"run_sql", Save, &RunSql},
    {"insert_head", Save, &InsertHead},
    {"update_head", Save, &UpdateHead},
    {"insert_detail", Save, &InsertDetail},
    {"reset_detail", Save, &ResetDetail},
    {"check", Save, &Check},
    {"checkthis", Save, &CheckThis},

    {"sum_table_col", Grid, &SumTableCol},
    {"lock_col", Grid, &LockCol},
    {"sum_cols", Grid, &SumCols},
    {"set_table_readonly", Grid, &SetTableReadonly},
    {"select_all", Grid, &SelectAll},
    {"set_row_color", Grid, &SetRowColor},
    {"set_rows_colors", Grid, &SetRowsColors},
    {"set_cell_color", Grid, &SetCellColor},
    {"set_cell_color2", Grid, &SetCellColor2},
    {"set_cols_color", Grid, &SetColsColor},
    {"set_col_text", Grid, &SetColText},
    {"set_cols_text", Grid, &SetColsText},
    {"set_cols_text2", Grid, &SetColsText2},
    {"set_cols_pinyin", Grid, &SetColsPinyin},
    {"addrow", Grid, &AddRow},
    {"delrow", Grid, &DelRow},
    {"uprow", Grid, &UpRow},
    {"downrow", Grid, &DownRow},
    {"get_daxie", Grid, &GetDaxie},
    {"return_selected", Grid, &ReturnSelected},
    {"return_selected_node", Grid, &ReturnSelectedNode},
    {"del_cell_text", Grid, &DelCellText},
    {"set_cell_text", Grid, &SetCellText},
    {"copytable", Grid, &CopyTableColumns},
    {"copy_table", Grid, &CopyTable},
    {"paste_table", Grid, &PasteTable},
    {"copycontent", Grid, &CopyContent},
    {"show_cols", Grid, &ShowCols},
    {"select_item", Grid, &SelectItem},
    {"get_id_from_tree", Grid, &GetIdFromTree},
    {"get_ids_from_tree", Grid, &GetIdsFromTree},
    {"get_ids_from_list", Grid, &GetIdsFromList},
    {"get_name_from_tree", Grid, &GetNameFromTree},

    {"sendmessage", Window, &SendMessage},
    {"show", Window, &Show},
    {"able", Window, &Able},
    {"menu", Window, &Menu},
    {"set_wnds_color1", Window, &SetWndsColor1},
    {"set_wnds_color2", Window, &SetWndsColor2},
    {"close", Window, &Close},
    {"send_click", Window, &SendClick},
    {"set_btn_state", Window, &SetBtnState},
    {"get_btn_state", Window, &GetBtnState},
    {"show_dialog", Window, &ShowDialog},
    {"set_focus", Window, &SetFocus},
    {"select_file", Window, &SelectFile},
    {"cmd", Window, &Cmd},
    {"run_dll_method", Window, &RunDllMethod},
    {"set_draw_method", Window, &SetDrawMethod},
    {"set_top", Window, &SetTop},
    {"set_notop", Window, &SetNotop},
    {"mouse_event", Window, &MouseEvent},
    {"mouse_move", Window, &MouseMove},
    {"left_down", Window, &LeftDown},
    {"left_up", Window, &LeftUp},
    {"left_click", Window, &LeftClick},
    {"left_dclick", Window, &LeftDclick},
    {"right_down", Window, &RightDown},
    {"right_up", Window, &RightUp},
    {"right_click", Window, &RightClick},
    {"right_dclick", Window, &RightDclick},
    {"key_down", Window, &KeyDown},
    {"wait", Window, &Wait},
    {"key_up", Window, &KeyUp},
    {"key_click", Window, &KeyClick},
    {"key_input", Window, &KeyInput},
    {"key_input2", Window, &KeyInput2},
    {"get_value", Window, &GetValue},
    {"set_value", Window, &SetValue},
    {"get_pos", Window, &GetPos},

    // The print layer sits above this one: RegisterPrintCommands fills these at start-up.
    {"query_to_print", Print, nullptr},
    {"print_pos_get", Print, nullptr},
    {"print_pos_setup", Print, nullptr},
    {"print_setup", Print, nullptr},
    {"print", Print, nullptr},
    {"print_pre", Print, nullptr},

    {"show_table", TreeList, &ShowTable},

    // So does the chart layer: RegisterChartCommands.
    {"show_report", Chart, nullptr},
    {"show_report3", Chart, nullptr},
    {"show_report31", Chart, nullptr},
    {"show_report5", Chart, nullptr},
    {"show_report6", Chart, nullptr},

    {"UrlEncode", Web, &UrlEncodeCommand},
    {"UrlDecode", Web, &UrlDecodeCommand},
    {"open_url", Web, &OpenUrl},
    {"get_html", Web, &GetHtml},
    {"post_html", Web, &PostHtml},
    {"post2_html", Web, &Post2Html},
    {"open_file", Web, &OpenFile},
    {"show_pic", Web, &ShowPic},
    {"get_html_node_text", Web, &GetHtmlNodeText},
    {"get_html_list", Web, &GetHtmlList},

    {"export_excel", File, &ExportExcel},
    {"upload", File, &Upload},
    {"download", File, &Download},
    {"upload_pic", File, &UploadPic},
    {"download_pic", File, &DownloadPic},
});

} // namespace

std::span<const CommandEntry> CommandTable() {
    return kCommands;
}

void RegisterCommandFamilies() {
    for (const CommandEntry& entry : kCommands) {
        const QString name = QString::fromLatin1(entry.name);
        if (!entry.handler) {
            // A form that uses a command this client cannot run yet must not look as if it
            // had done what it asked.
            RegisterCommand(name, [name](CommandContext&, const FormXml::XmlNode&, int) {
                return CommandResult::Failed(
                    QStringLiteral("本客户端还不能执行命令 %1，请升级客户端或联系管理员。")
                        .arg(name));
            });
            continue;
        }
        RegisterCommand(name,
                        [handler = entry.handler](CommandContext& form,
                                                  const FormXml::XmlNode& command, int windowId) {
                            CommandResult result;
                            result.ok = handler(form, result, command, windowId);
                            return result;
                        });
    }
}
