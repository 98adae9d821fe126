// Unpacking and packing a stored definition of about 2 MB of text against zlib doing the same
// work on the same bytes (the UTF-16LE text, compressed at level 6).
#include "BenchSupport.h"
#include "FormGenerator.h"
#include "form/DefinitionCodec.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <vector>

namespace {

struct Input {
    QString text;
    QByteArray bytes; // the text as the codec reads it: UTF-16LE with its terminating NUL
    QByteArray packed;
    std::vector<Bytef> deflated;
};

const Input& TheInput() {
    static const Input input = [] {
        Input in;
        // One character is two bytes of stored text: about 2 MB.
        in.text = bench::MakeLargeDefinition(bench::Scaled(1'000'000, 20'000));
        in.bytes =
            QByteArray(reinterpret_cast<const char*>(in.text.utf16()), (in.text.size() + 1) * 2);
        in.packed = PackDefinition(in.text);
        uLongf size = compressBound(uLong(in.bytes.size()));
        in.deflated.resize(size);
        compress2(in.deflated.data(), &size, reinterpret_cast<const Bytef*>(in.bytes.constData()),
                  uLong(in.bytes.size()), 6);
        in.deflated.resize(size);
        return in;
    }();
    return input;
}

void Describe(benchmark::State& state, std::size_t storedBytes) {
    const Input& in = TheInput();
    state.SetBytesProcessed(std::int64_t(state.iterations()) * in.bytes.size());
    state.counters["text_bytes"] = double(in.bytes.size());
    state.counters["stored_bytes"] = double(storedBytes);
}

void BM_Unpack(benchmark::State& state) {
    const Input& in = TheInput();
    for (auto _ : state) {
        UnpackResult result = UnpackDefinition(in.packed);
        benchmark::DoNotOptimize(result.text.constData());
        if (!result.ok || result.text.size() != in.text.size())
            state.SkipWithError("unpacked text differs");
    }
    Describe(state, std::size_t(in.packed.size()));
}

void BM_Unpack_Reference(benchmark::State& state) {
    const Input& in = TheInput();
    std::vector<Bytef> out(std::size_t(in.bytes.size()));
    for (auto _ : state) {
        uLongf size = uLongf(out.size());
        if (uncompress(out.data(), &size, in.deflated.data(), uLong(in.deflated.size())) != Z_OK)
            state.SkipWithError("inflate failed");
        benchmark::DoNotOptimize(out.data());
    }
    Describe(state, in.deflated.size());
}

void BM_Pack(benchmark::State& state) {
    const Input& in = TheInput();
    for (auto _ : state) {
        QByteArray packed = PackDefinition(in.text);
        benchmark::DoNotOptimize(packed.constData());
    }
    Describe(state, std::size_t(in.packed.size()));
}

void BM_Pack_Reference(benchmark::State& state) {
    const Input& in = TheInput();
    std::vector<Bytef> out(compressBound(uLong(in.bytes.size())));
    for (auto _ : state) {
        uLongf size = uLongf(out.size());
        if (compress2(out.data(), &size, reinterpret_cast<const Bytef*>(in.bytes.constData()),
                      uLong(in.bytes.size()), 6) != Z_OK)
            state.SkipWithError("deflate failed");
        benchmark::DoNotOptimize(out.data());
    }
    Describe(state, in.deflated.size());
}

} // namespace

BENCHMARK(BM_Unpack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Unpack_Reference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pack_Reference)->Unit(benchmark::kMillisecond);
