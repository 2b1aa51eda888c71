#pragma once

#include <curl/curl.h>

namespace quorvane {

// The few libcurl functions the mail uses, loaded when the first mail goes out instead of at
// start: libcurl brings two TLS libraries, Kerberos, LDAP and more, some 5 MB of memory that a
// Quorvane which never mails would carry for nothing.
struct CurlFunctions {
    decltype(&curl_easy_init) EasyInit;
    decltype(&curl_easy_setopt) EasySetopt;
    decltype(&curl_easy_perform) EasyPerform;
    decltype(&curl_easy_getinfo) EasyGetinfo;
    decltype(&curl_easy_cleanup) EasyCleanup;
    decltype(&curl_slist_append) SlistAppend;
    decltype(&curl_slist_free_all) SlistFreeAll;
};

// libcurl, loaded and initialised at the first call; null when it cannot be loaded (then the
// reason was written to standard error, once). Thread safety: any thread.
[[nodiscard]] const CurlFunctions* Curl();

} // namespace quorvane
