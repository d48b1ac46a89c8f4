// HTTP requests on libcurl with one easy handle per thread, reset between requests so that
// its connection cache survives, and a replaceable transport for tests.
#include "platform/qzhttp.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace
{

std::mutex transportMutex;
std::shared_ptr<const qzHTTPTransport> replacedTransport;

bool mustEncode(unsigned char c)
{
    return c <= 0x20 || c >= 0x7f || std::strchr("\"#%<>\\^`{|}+", c) != nullptr;
}

// The calling thread's handle, reset to default options; null when libcurl fails.
CURL* threadHandle()
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    struct Handle {
        CURL* curl = curl_easy_init();
        ~Handle() { curl_easy_cleanup(curl); }
    };
    thread_local Handle handle;
    if (handle.curl)
        curl_easy_reset(handle.curl);
    return handle.curl;
}

size_t appendToReply(char* data, size_t size, size_t count, void* reply)
{
    static_cast<std::string*>(reply)->append(data, size * count);
    return size * count;
}

std::optional<std::string> curlTransport(const qzHTTPRequest& request)
{
    CURL* curl = threadHandle();
    if (!curl)
        return std::nullopt;
    const std::string url = qzHTTPEncodeURL(request.url);
    std::string reply;
    curl_slist* headers =
        request.header.empty() ? nullptr : curl_slist_append(nullptr, request.header.c_str());
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(std::max(1u, request.timeoutMs)));
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendToReply);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    if (!request.body.empty()) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.body.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
    }
    if (request.method != (request.body.empty() ? "GET" : "POST"))
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    const CURLcode result = curl_easy_perform(curl);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(headers);
    if (result != CURLE_OK)
        return std::nullopt;
    return reply;
}

std::shared_ptr<const qzHTTPTransport> currentTransport()
{
    std::lock_guard<std::mutex> lock(transportMutex);
    return replacedTransport;
}

} // namespace

std::string qzHTTPEncodeURL(const std::string& url)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(url.size());
    bool inQuery = false;
    for (const char ch : url) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const bool queryMark = c == '?' && !inQuery;
        inQuery = inQuery || queryMark;
        if (!mustEncode(c) && (c != '?' || queryMark)) {
            encoded += ch;
            continue;
        }
        encoded += '%';
        encoded += hex[c >> 4];
        encoded += hex[c & 15];
    }
    return encoded;
}

void qzSetHTTPTransport(qzHTTPTransport transport)
{
    std::lock_guard<std::mutex> lock(transportMutex);
    replacedTransport =
        transport ? std::make_shared<const qzHTTPTransport>(std::move(transport)) : nullptr;
}

int qzOSHTTPCommand(const char* url, const char* method, const char* header, const char* body,
                    size_t bodyLength, char** reply, size_t* replyLength, uint32_t timeoutMs)
{
    if (reply)
        *reply = nullptr;
    if (replyLength)
        *replyLength = 0;
    if (!url || !*url)
        return -1;
    qzHTTPRequest request;
    request.url = url;
    request.method = method && *method ? method : "GET";
    request.header = header ? header : "";
    request.body = body ? std::string(body, bodyLength) : std::string();
    request.timeoutMs = timeoutMs;
    const std::shared_ptr<const qzHTTPTransport> transport = currentTransport();
    const std::optional<std::string> answer =
        transport ? (*transport)(request) : curlTransport(request);
    if (!answer)
        return -1;
    if (!reply)
        return 0;
    char* text = static_cast<char*>(std::malloc(answer->size() + 1));
    if (!text)
        return -1;
    std::memcpy(text, answer->data(), answer->size());
    text[answer->size()] = 0;
    *reply = text;
    if (replyLength)
        *replyLength = answer->size();
    return 0;
}

void QZFree(void* memory)
{
    std::free(memory);
}
