// libFuzzer target for the stored form definition reader: any bytes must give a result
// without a crash, and a text it accepts must come back unchanged through packing.
// Built and run by fuzz/run.sh; with VEMO_FUZZ_SEED_MAIN it is instead a small program
// that writes a seed corpus of well-formed values into the folder given as its argument.
#include "FuzzSupport.h"
#include "form/DefinitionCodec.h"

#include <QtEndian>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#ifndef VEMO_FUZZ_SEED_MAIN

namespace {} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const UnpackResult r = UnpackDefinition(data, size);
    if (!r.ok) {
        Check(!r.error.isEmpty(), "a refused value names its reason");
        Check(r.text.isEmpty(), "a refused value gives no text");
        return 0;
    }
    const std::uint32_t length = qFromLittleEndian<std::uint32_t>(data);
    Check(static_cast<std::uint64_t>(r.text.size()) <= length / 2, "text within L / 2");
    Check(!r.text.contains(QChar(0)), "text ends at its first NUL");

    const int bits = data[4];
    const UnpackResult again = UnpackDefinition(PackDefinition(r.text, bits));
    Check(again.ok, "a packed text unpacks");
    Check(again.text == r.text, "a packed text comes back unchanged");
    return 0;
}

#else

#include <QString>

int main(int argc, char** argv) {
    const QString texts[] = {
        QString(),
        QStringLiteral("<html version='1.0' id='0'></html>"),
        QStringLiteral("<html version='1.0' id='0'><head title='合同登记'/><body><dialog>"
                       "<static id='1' value='供应商' pos='10,10,80,30'/><textbox id='2' "
                       "pos='90,10,300,30'/></dialog></body></html>"),
        QString(3000, QChar(u'a')),
    };
    QList<QByteArray> seeds;
    for (const QString& text : texts)
        for (const int bits : {9, 12, 16, 25})
            seeds.append(PackDefinition(text, bits));
    return WriteSeeds(argc, argv, seeds, ".bin");
}

#endif
