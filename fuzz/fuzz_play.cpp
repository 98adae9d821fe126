// libFuzzer target for the play script reader: any text must be read into steps or refused with
// the line at fault, and the steps of an accepted script, written out again with the script's
// escapes, must read back unchanged.
// Built and run by fuzz/run.sh; with VEMO_FUZZ_SEED_MAIN it writes a seed corpus instead.
#include "FuzzSupport.h"
#include "PlayScript.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#ifndef VEMO_FUZZ_SEED_MAIN

namespace {

bool SameSteps(const QList<PlayStep>& a, const QList<PlayStep>& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].args != b[i].args)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString script = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    Check(UnescapeScriptText(EscapeScriptText(script)) == script, "an escaped text reads back");
    Check(!EscapeScriptText(script).contains(QLatin1Char('\n')), "an escaped text is one line");

    QList<PlayStep> steps;
    QString error;
    const qsizetype lines = script.count(QLatin1Char('\n')) + 1;
    if (!ParsePlayScript(script, steps, error)) {
        bool number = false;
        const int line = error.section(QLatin1Char(' '), 1, 1).toInt(&number);
        Check(error.startsWith(QStringLiteral("第 ")) && number && line >= 1 && line <= lines,
              "a refusal names a line of the script");
        return 0;
    }
    int previous = 0;
    QString again;
    for (const PlayStep& step : steps) {
        Check(step.line > previous && step.line <= lines, "steps keep their lines in order");
        previous = step.line;
        again += step.name;
        for (const QString& arg : step.args)
            again += QLatin1Char(' ') + EscapeScriptText(arg);
        again += QLatin1String("\r\n");
    }
    QList<PlayStep> reread;
    Check(ParsePlayScript(again, reread, error), "steps written out read again");
    Check(SameSteps(steps, reread), "steps written out read back unchanged");
    return 0;
}

#else

int main(int argc, char** argv) {
    const char* const scripts[] = {
        "# 登录后查询\nlogin admin 1\nopen 12\nopen-xml forms/main form.xml\n"
        "set 3 供应商 甲\ntype 2 abc\\tdef\nclick 10\ndclick 9\nkey 2 Enter\nkey 2 f12\n"
        "check 15 1\nselect 9 0, 2,3\nselect 9\nedit 9 0 1 新值\\n第二行\nanswer yes\n"
        "expect 4 a\\\\b\\rc\ndump 9\nclose\nsql SELECT 'x' || char(9), NULL\n",
        "\r\n  \t# only comments and blanks\r\n\r\nclose\r\n",
        "sql SELECT 1\nkey 2 PageUp\n",
        "edit 9 x 1 text\n",
    };
    QList<QByteArray> seeds;
    for (const char* script : scripts)
        seeds.append(script);
    return WriteSeeds(argc, argv, seeds, ".play");
}

#endif
