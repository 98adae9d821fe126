// libFuzzer target for loading a form definition and expanding placeholders: any text must
// parse or be refused with a reason and a place within it, every lookup the form engine makes
// must answer without a crash, and expansion must leave texts without known tokens untouched.
// Built and run by fuzz/run.sh; with VEMO_FUZZ_SEED_MAIN it writes a seed corpus instead.
#include "FuzzSupport.h"
#include "data/SessionContext.h"
#include "form/Placeholders.h"
#include "form/XmlDocument.h"
#include "platform/AppMessage.h"
#include "platform/ValueGrammars.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// The fuzz build compiles only the form sources; the session needs no clock here.
SessionContext::SessionContext() = default;

// Messages of malformed values are expected; the fuzz build has no message box.
MessageAnswer ShowAppMessage(const QString&, const QString&, MessageButtons, QWidget*) {
    return MessageAnswer::Ok;
}

#ifndef VEMO_FUZZ_SEED_MAIN

namespace {

class FuzzForm : public PlaceholderForm {
public:
    std::optional<QString> PickListOwnerText() const override { return QStringLiteral("42"); }
    QString FormType() const override { return QStringLiteral("{{userid}}"); }
    QString OpenerValue() const override { return QStringLiteral("7"); }
    QString LoadedKeys() const override { return QStringLiteral("1,2"); }
    bool InStartupAction() const override { return true; }
};

ClockReading FixedClock() {
    return {QDate(2024, 5, 9), QTime(8, 30, 0)};
}

// Walks every element as the form engine's readers do.
void Walk(const FormXml::XmlNode& node, int depth) {
    if (node.IsEmpty() || depth > 64)
        return;
    node.GetName();
    ParseRectText(node.GetAttribute("pos"));
    ParseRgbText(node.GetAttribute("color"));
    ParseArgbText(node.GetAttribute("color"));
    ParseFontText(node.GetAttribute("font"));
    ParseTextFontText(node.GetAttribute("font"));
    node.GetAttributeInt("id", 0);
    node.GetAttributeBool("hidden", false);
    node.GetChild("ACTION").GetChild("CLICK");
    const FormXml::XmlNodes children = node.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i)
        Walk(children.GetItem(i), depth + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    FormXml::XmlDocument document;
    FormXml::XmlLoadError why;
    const bool loaded = document.LoadXml(text, &why);
    const FormXml::XmlNode root = document.GetRoot();
    Check(loaded || root.IsEmpty(), "a refused text leaves no document");
    Check(loaded || (!why.description.isEmpty() && why.offset >= -1 && why.offset <= text.size()),
          "a refused text says why and where, within the text");
    if (loaded) {
        const QString id = root.GetAttribute("id");
        document.SelectSingleNode("//html/head");
        document.SelectSingleNode(
            QStringLiteral("//html[@id=%1]/body/dialog/button[@id=5]/ACTION/CLICK").arg(id));
        const FormXml::XmlNode body = root.GetChild("body", true);
        body.SelectSingleNode(QStringLiteral("popup/html[@id=%1]").arg(id));
        const FormXml::XmlNode dialog = body.GetChild("dialog", true);
        Check(!dialog.IsEmpty(), "sections are created on demand");
        Walk(root, 0);
        FormXml::XmlDocument again;
        Check(again.LoadXml(root.GetXml()), "a serialised element parses again");
    }

    SessionContext app;
    SessionContext::User user;
    user.userName = QStringLiteral("{{date}}");
    user.userUid = QStringLiteral("1");
    app.ApplyLogin(user);
    const QString expanded = ExpandPlaceholders(text, FuzzForm(), app, FixedClock);
    if (!text.contains(QStringLiteral("{{")))
        Check(expanded == text, "a text without tokens is unchanged");
    return 0;
}

#else

int main(int argc, char** argv) {
    const char* const texts[] = {
        "<html version='1.0' id='0'></html>",
        "<html version='1.0' id='0'><head title='合同登记' pos='0,0,600,400' bg='-128'>"
        "<bg><item type='text' pos='10,10,200,40' color='0,0,255' font='16,8,宋体'/></bg>"
        "</head><body><dialog><static id='1' value='供应商 {{username}}' pos='10,10,80,30'/>"
        "<textbox id='2' pos='90,10,300,30' font='12'/><button id='5' value='保存'>"
        "<ACTION><CLICK log='1'><run_sql sql=\"SELECT {{TOP30}} * FROM t WHERE a='{{date}}'\"/>"
        "</CLICK></ACTION></button></dialog><popup><html id='7'><body/></html></popup></body>"
        "</html>",
        "{{index2}}{{type}}{{A1}}{{A10}}{{today:year_big}}{{today:day_big}}",
    };
    QList<QByteArray> seeds;
    for (const char* text : texts)
        seeds.append(text);
    return WriteSeeds(argc, argv, seeds, ".xml");
}

#endif
