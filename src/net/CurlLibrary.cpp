#include "net/CurlLibrary.h"

#include <QLibrary>

namespace {

struct LoadResult {
    CurlLibrary api;
    QString error;
    bool ok = false;
};

template <typename Function> bool Resolve(QLibrary& library, const char* name, Function& target) {
    target = reinterpret_cast<Function>(library.resolve(name));
    return target != nullptr;
}

LoadResult Load() {
    LoadResult result;
    // Kept loaded for the life of the process: handles and global state live in it.
    static QLibrary library(QStringLiteral("curl"), 4);
    if (!library.load()) {
        result.error = QStringLiteral("cannot load libcurl: ") + library.errorString();
        return result;
    }
    CurlLibrary& api = result.api;
    const bool resolved = Resolve(library, "curl_global_init", api.globalInit) &&
                          Resolve(library, "curl_easy_init", api.easyInit) &&
                          Resolve(library, "curl_easy_cleanup", api.easyCleanup) &&
                          Resolve(library, "curl_easy_reset", api.easyReset) &&
                          Resolve(library, "curl_easy_setopt", api.easySetopt) &&
                          Resolve(library, "curl_easy_perform", api.easyPerform) &&
                          Resolve(library, "curl_easy_getinfo", api.easyGetinfo) &&
                          Resolve(library, "curl_easy_strerror", api.easyStrerror) &&
                          Resolve(library, "curl_slist_append", api.slistAppend) &&
                          Resolve(library, "curl_slist_free_all", api.slistFreeAll);
    if (!resolved) {
        result.error = QStringLiteral("libcurl lacks a function: ") + library.errorString();
        return result;
    }
    // curl_global_init is not thread-safe; the function-local static below runs this once even
    // when the update worker makes the first request.
    api.globalInit(CURL_GLOBAL_DEFAULT);
    result.ok = true;
    return result;
}

} // namespace

const CurlLibrary* CurlLibrary::Get(QString& error) {
    static const LoadResult loaded = Load();
    if (!loaded.ok) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.api;
}
