// The HTML reader of the web-page commands on a page of about 5 MB (price tables with links,
// classed divs, entities, scripts and comments) against libxml2's HTML parser reading the same
// page into its tree.
#include "BenchSupport.h"
#include "net/HtmlReader.h"

#include <benchmark/benchmark.h>
#include <libxml/HTMLparser.h>

namespace {

struct Page {
    QString text;
    QByteArray utf8;
};

QString MakePage(int targetChars) {
    QString page = QStringLiteral("<!DOCTYPE html>\n<html><head><title>价格表</title>\n"
                                  "<script type='text/javascript'>var rows = []; if (a < b && "
                                  "c > d) { s = '<td>x</td>'; }</script></head><body>\n");
    int row = 0;
    while (page.size() < targetChars) {
        page += QStringLiteral("<div class='block' id='b%1'><h2>第%1组 &amp; 报价</h2>\n"
                               "<table class='price' border=1>\n")
                    .arg(row);
        for (int r = 0; r < 40; ++r, ++row) {
            page += QStringLiteral(
                        "<tr><td class=code>M%1</td><td><a href=\"/item?id=%1&amp;t=2\">钢板 "
                        "Q235&nbsp;%2mm</a></td><td class='price'>%3.50</td><td>&#165;"
                        "</td><td><img src='/p/%1.png' alt=pic><br></td></tr>\n")
                        .arg(row)
                        .arg(r % 12 + 1)
                        .arg(1000 + row % 977);
        }
        page += QStringLiteral("</table><!-- 区块 %1 --><p>说明<b>粗体<i>斜体</b> 与 &lt;注&gt;</p>"
                               "</div>\n")
                    .arg(row);
    }
    return page + QStringLiteral("</body></html>\n");
}

const Page& ThePage() {
    static const Page page = [] {
        Page p;
        // Mostly ASCII markup with Chinese texts: about 5 MB of UTF-8.
        p.text = MakePage(bench::Scaled(4'700'000, 20'000));
        p.utf8 = p.text.toUtf8();
        return p;
    }();
    return page;
}

void Describe(benchmark::State& state) {
    state.SetBytesProcessed(std::int64_t(state.iterations()) * ThePage().utf8.size());
    state.counters["page_bytes"] = double(ThePage().utf8.size());
}

void BM_HtmlParse(benchmark::State& state) {
    const Page& page = ThePage();
    int elements = 0;
    for (auto _ : state) {
        HtmlDocument document;
        document.Parse(page.text);
        elements = document.ElementCount();
        benchmark::DoNotOptimize(elements);
    }
    state.counters["elements"] = elements;
    Describe(state);
}

void BM_HtmlParse_Reference(benchmark::State& state) {
    const Page& page = ThePage();
    for (auto _ : state) {
        htmlDocPtr doc = htmlReadMemory(
            page.utf8.constData(), int(page.utf8.size()), nullptr, "UTF-8",
            HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET | HTML_PARSE_COMPACT);
        if (!doc)
            state.SkipWithError("libxml2 read nothing");
        benchmark::DoNotOptimize(doc);
        xmlFreeDoc(doc);
    }
    Describe(state);
}

} // namespace

BENCHMARK(BM_HtmlParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtmlParse_Reference)->Unit(benchmark::kMillisecond);
