#pragma once

// A real HTTP client (libcurl) for the web tests. Requests run on their own thread while the
// test's thread, playing the core thread, keeps serving the core's events.
#include "GatedPacer.h"

#include <curl/curl.h>

#include <future>
#include <string>

namespace quorvane::fakes {

struct HttpResult {
    long Status = 0;
    std::string Body;
    std::string Headers; // the response's header lines as received
    bool Ok = false;     // the request completed
};

inline HttpResult PerformHttp(const std::string& url, const std::string& method, const std::string& body)
{
    HttpResult result;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* out) {
        static_cast<std::string*>(out)->append(data, size * count);
        return size * count;
    });
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result.Body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, +[](char* data, size_t size, size_t count, void* out) {
        static_cast<std::string*>(out)->append(data, size * count);
        return size * count;
    });
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &result.Headers);
    if (method == "HEAD")
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    if (method == "POST") {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    }
    result.Ok = curl_easy_perform(curl) == CURLE_OK;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.Status);
    curl_easy_cleanup(curl);
    return result;
}

// Sends the request from another thread and serves the core's events until the answer came.
inline HttpResult Http(const std::string& url, const std::string& method = "GET", const std::string& body = {})
{
    auto pending = std::async(std::launch::async, [=] { return PerformHttp(url, method, body); });
    PumpUntil([&] { return pending.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
              std::chrono::seconds(30));
    return pending.get();
}

} // namespace quorvane::fakes
