#include "mail/CurlLibrary.h"

#include <dlfcn.h>

#include <cstdio>
#include <mutex>

namespace quorvane {

namespace {

// The library's soname: the one the headers were made for.
constexpr const char* kCurlLibrary = "libcurl.so.4";

template <typename Function>
bool resolve(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

const CurlFunctions* load()
{
    void* library = ::dlopen(kCurlLibrary, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "quorvane: %s cannot be loaded, so no mail can be sent: %s\n", kCurlLibrary, ::dlerror());
        return nullptr;
    }
    static CurlFunctions functions{};
    decltype(&curl_global_init) globalInit = nullptr;
    const bool complete = resolve(library, "curl_global_init", globalInit)
                          && resolve(library, "curl_easy_init", functions.EasyInit)
                          && resolve(library, "curl_easy_setopt", functions.EasySetopt)
                          && resolve(library, "curl_easy_perform", functions.EasyPerform)
                          && resolve(library, "curl_easy_getinfo", functions.EasyGetinfo)
                          && resolve(library, "curl_easy_cleanup", functions.EasyCleanup)
                          && resolve(library, "curl_slist_append", functions.SlistAppend)
                          && resolve(library, "curl_slist_free_all", functions.SlistFreeAll);
    if (!complete) {
        std::fprintf(stderr, "quorvane: %s lacks a function the mail needs, so no mail can be sent\n", kCurlLibrary);
        return nullptr;
    }
    // Once per process, before any other call; the library stays loaded to the end.
    if (globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        std::fprintf(stderr, "quorvane: %s could not be initialised, so no mail can be sent\n", kCurlLibrary);
        return nullptr;
    }
    return &functions;
}

} // namespace

const CurlFunctions* Curl()
{
    static std::once_flag once;
    static const CurlFunctions* loaded = nullptr;
    std::call_once(once, [] { loaded = load(); });
    return loaded;
}

} // namespace quorvane
