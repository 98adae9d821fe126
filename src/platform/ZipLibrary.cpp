#include "platform/ZipLibrary.h"

#include <QLibrary>

namespace {

struct LoadResult {
    ZipLibrary api;
    QString error;
    bool ok = false;
};

template <typename Function> bool Resolve(QLibrary& library, const char* name, Function& target) {
    target = reinterpret_cast<Function>(library.resolve(name));
    return target != nullptr;
}

LoadResult Load() {
    LoadResult result;
    // Kept loaded for the life of the process: the pointers below point into it.
    static QLibrary library(QStringLiteral("zip"), 4);
    if (!library.load()) {
        result.error = QStringLiteral("cannot load libzip: ") + library.errorString();
        return result;
    }
    ZipLibrary& api = result.api;
    const bool resolved =
        Resolve(library, "zip_open", api.open) && Resolve(library, "zip_close", api.close) &&
        Resolve(library, "zip_discard", api.discard) &&
        Resolve(library, "zip_get_num_entries", api.getNumEntries) &&
        Resolve(library, "zip_stat_index", api.statIndex) &&
        Resolve(library, "zip_fopen_index", api.fopenIndex) &&
        Resolve(library, "zip_fread", api.fread) && Resolve(library, "zip_fclose", api.fclose) &&
        Resolve(library, "zip_source_buffer", api.sourceBuffer) &&
        Resolve(library, "zip_source_free", api.sourceFree) &&
        Resolve(library, "zip_file_add", api.fileAdd) &&
        Resolve(library, "zip_set_file_compression", api.setFileCompression);
    if (!resolved) {
        result.error = QStringLiteral("libzip lacks a function: ") + library.errorString();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace

const ZipLibrary* ZipLibrary::Get(QString& error) {
    static const LoadResult loaded = Load();
    if (!loaded.ok) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.api;
}
