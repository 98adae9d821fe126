#pragma once

#include <QString>

#include <zip.h>

// libzip, loaded the first time a spreadsheet is exported rather than with the client: it brings
// OpenSSL's libcrypto and libbz2, which starting the client and logging in never use.
struct ZipLibrary {
    decltype(&::zip_open) open = nullptr;
    decltype(&::zip_close) close = nullptr;
    decltype(&::zip_discard) discard = nullptr;
    decltype(&::zip_get_num_entries) getNumEntries = nullptr;
    decltype(&::zip_stat_index) statIndex = nullptr;
    decltype(&::zip_fopen_index) fopenIndex = nullptr;
    decltype(&::zip_fread) fread = nullptr;
    decltype(&::zip_fclose) fclose = nullptr;
    decltype(&::zip_source_buffer) sourceBuffer = nullptr;
    decltype(&::zip_source_free) sourceFree = nullptr;
    decltype(&::zip_file_add) fileAdd = nullptr;
    decltype(&::zip_set_file_compression) setFileCompression = nullptr;

    // The library, loaded once for the process (thread-safe); nullptr with the reason in `error`
    // when it cannot be loaded.
    static const ZipLibrary* Get(QString& error);
};
