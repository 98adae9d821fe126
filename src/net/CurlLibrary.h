#pragma once

#include <QString>

#include <curl/curl.h>

// libcurl, loaded the first time a request is made rather than with the client: it brings some
// thirty libraries (TLS, Kerberos, LDAP, SSH) that starting the client and logging in never use.
struct CurlLibrary {
    decltype(&::curl_global_init) globalInit = nullptr;
    decltype(&::curl_easy_init) easyInit = nullptr;
    decltype(&::curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&::curl_easy_reset) easyReset = nullptr;
    decltype(&::curl_easy_setopt) easySetopt = nullptr;
    decltype(&::curl_easy_perform) easyPerform = nullptr;
    decltype(&::curl_easy_getinfo) easyGetinfo = nullptr;
    decltype(&::curl_easy_strerror) easyStrerror = nullptr;
    decltype(&::curl_slist_append) slistAppend = nullptr;
    decltype(&::curl_slist_free_all) slistFreeAll = nullptr;

    // The library, loaded and initialised once for the process (thread-safe); nullptr with the
    // reason in `error` when it cannot be loaded.
    static const CurlLibrary* Get(QString& error);
};
