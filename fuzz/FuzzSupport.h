#pragma once
// What every fuzz target shares: a check that stops the run with its reason, and the seed
// writer of the VEMO_FUZZ_SEED_MAIN build.
#include <QByteArray>
#include <QList>

#include <cstdio>
#include <cstdlib>

// A broken promise of the code under test: libFuzzer keeps the input that led here.
inline void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

// Writes `seeds` as "seed-N<extension>" (N from `first`) into the folder named by the seed
// program's one argument. Returns the program's exit status: 2 for a wrong call, 1 when a file
// cannot be written.
inline int WriteSeeds(int argc, char** argv, const QList<QByteArray>& seeds, const char* extension,
                      int first = 0) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SEED_FOLDER\n", argv[0]);
        return 2;
    }
    int next = first;
    for (const QByteArray& seed : seeds) {
        const QByteArray path =
            QByteArray(argv[1]) + "/seed-" + QByteArray::number(next++) + extension;
        std::FILE* f = std::fopen(path.constData(), "wb");
        const bool written =
            f && std::fwrite(seed.constData(), 1, size_t(seed.size()), f) == size_t(seed.size());
        if (f)
            std::fclose(f);
        if (!written) {
            std::fprintf(stderr, "cannot write %s\n", path.constData());
            return 1;
        }
    }
    return 0;
}
