#pragma once
// The web-page commands: opening links and files with the desktop, showing a picture file,
// requests whose answer lands in a control, percent-encoding, and picking elements out of an
// HTML text (HtmlCommands.cpp).
//
// The source text of most of them follows one convention (their `para_info`): with `table_id`
// set, the first selected row of that grid (cell `col` - 1 when `col` > 0, else the row key);
// otherwise the text of control `url_id` (`num_id` for the encoding commands).
#include "form/XmlDocument.h"
#include "net/WebRequest.h"

class CommandContext;
struct CommandResult;

bool OpenUrl(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
             int windowId);
bool OpenFile(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
              int windowId);
bool ShowPic(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
             int windowId);
bool GetHtml(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
             int windowId);
bool PostHtml(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
              int windowId);
bool Post2Html(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
               int windowId);
bool UrlEncodeCommand(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                      int windowId);
bool UrlDecodeCommand(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                      int windowId);
bool GetHtmlNodeText(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                     int windowId);
bool GetHtmlList(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                 int windowId);

// The certificate settings of the web requests, from cfg.ini [HTTPS]: CA_FILE names a PEM file of
// a company's own certificate authorities (relative to the client's folder unless absolute),
// trusted besides the system's; UNCHECKED_HOSTS lists, ";"-separated, hosts whose certificates
// are not checked at all.
WebTlsSettings ReadWebTlsSettings();
