// libFuzzer target for the HTML reader of the web-page commands: any text (the input read as
// UTF-8, and as UTF-16 units) must be read without a crash, a hang or a read out of bounds, and
// the element tree must keep its promises: spans inside the text and in order, parents before
// their children, an end tag only after its start tag, matches a subset of the elements.
// Built and run by fuzz/run.sh; with VEMO_FUZZ_SEED_MAIN it writes a seed corpus instead.
#include "FuzzSupport.h"
#include "net/HtmlReader.h"

#include <QStringList>

#include <cstdint>
#include <cstring>

#ifndef VEMO_FUZZ_SEED_MAIN

namespace {

struct EveryToken : HtmlTokenHandler {
    QStringView text;
    qsizetype last = 0;
    void OnToken(const HtmlToken& token) override {
        Check(token.begin >= last && token.begin <= token.end && token.end <= text.size(),
              "tokens follow each other inside the text");
        last = token.end;
        if (token.kind == HtmlTokenKind::Text)
            Check(token.Text().size() <= token.raw.size() * 2, "references never grow a text");
        if (token.kind == HtmlTokenKind::StartTag)
            for (const HtmlAttribute& attribute : *token.attributes)
                ResolveCharacterReferences(attribute.rawValue);
    }
};

void Exercise(const QString& text) {
    EveryToken tokens;
    tokens.text = text;
    TokenizeHtml(text, tokens);

    HtmlDocument document;
    document.Parse(text);
    const int count = document.ElementCount();
    for (int i = 0; i < count; ++i) {
        const HtmlElement& e = document.Element(i);
        Check(e.parent < i, "a parent comes before its children");
        Check(0 <= e.startBegin && e.startBegin < e.startEnd && e.startEnd <= text.size(),
              "the start tag lies inside the text");
        Check(e.endBegin < 0 ||
                  (e.startEnd <= e.endBegin && e.endBegin < e.endEnd && e.endEnd <= text.size()),
              "the end tag follows the start tag");
        Check(document.TagText(i).startsWith(QLatin1Char('<')), "a tag text is a tag");
        document.InnerText(i);
    }
    QStringList specs = {QString(), QStringLiteral("td"), QStringLiteral("div,class,price"),
                         QStringLiteral("a,href")};
    if (count > 0)
        specs.append(document.Name(0).toString() + QStringLiteral(",x,") + text.left(8));
    for (const QString& spec : specs) {
        const std::vector<int> found = document.Find(HtmlPathSpec::Parse(spec));
        Check(int(found.size()) <= count, "matches are elements");
        if (spec.isEmpty())
            Check(int(found.size()) == count, "an empty spec matches everything");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Exercise(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    QString units(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(units.data(), data, size / 2 * 2);
    Exercise(units); // lone surrogates and all
    return 0;
}

#else

int main(int argc, char** argv) {
    const QList<QByteArray> seeds = {
        "<table><tr><td>USD</td><td class='rate'>7.10</td></tr>"
        "<tr><td><a href='x'>EUR</a></td><td>7.&#56;&nbsp;&AElig;</td></tr></table>",
        "<div class=price id=1>1<b>2</div></div><span>&#x4e2d;&bogus;&#;</span>",
        "<script>if (a<b) { s='</td>'; }</script ><p>x<!-- <td> -->y<!DOCTYPE html><?pi?>",
        "<a href='never closed <td =x '' \"y\"=z/><br/></TD",
    };
    return WriteSeeds(argc, argv, seeds, ".html");
}

#endif
