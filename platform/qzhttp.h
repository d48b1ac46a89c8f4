// HTTP requests of the utility library, on libcurl. Every thread keeps one connection handle
// alive between its requests, so a thread that talks to one service reuses its connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Sends one request and waits at most `timeoutMs` for the whole exchange (connect included;
// 0 counts as 1 ms, a request never waits without limit). `url` is the text as the caller
// built it: characters that may not stand raw in a URL (space, controls, bytes above 127 and
// " # % < > \ ^ ` { | }, and "+", which servers read as a space in a query, and every "?"
// after the first, which some servers refuse) are percent-encoded here, so a value arrives as
// the exact bytes the caller wrote; "&", "=", "/", ":" and the "?" that opens the query are
// sent as they are. `header` is one "Name:value" line or null; `body`
// of `bodyLength` bytes is sent when not null. No proxy is used.
// When the host answered (with any HTTP status), returns 0 and sets *reply to the body,
// NUL-terminated, allocated for the caller, who releases it with QZFree, and *replyLength to
// its length. Otherwise (refused, timed out, any transport error) returns non-zero with
// *reply null and *replyLength 0.
int qzOSHTTPCommand(const char* url, const char* method, const char* header, const char* body,
                    size_t bodyLength, char** reply, size_t* replyLength, uint32_t timeoutMs);

// Releases a reply of qzOSHTTPCommand; null is allowed.
void QZFree(void* memory);

// The URL as it goes on the wire (the encoding rule of qzOSHTTPCommand).
std::string qzHTTPEncodeURL(const std::string& url);

// One request as a transport sees it: the caller's URL before encoding.
struct qzHTTPRequest {
    std::string url;
    std::string method;
    std::string header;
    std::string body;
    uint32_t timeoutMs = 0;
};

// A transport answers a request with the reply body, or nothing when no host answered.
using qzHTTPTransport = std::function<std::optional<std::string>(const qzHTTPRequest&)>;

// Replaces the transport of every later qzOSHTTPCommand in the process (unit tests answer
// requests in-process this way); an empty function restores libcurl. Thread-safe; the
// transport is called on the requesting thread.
void qzSetHTTPTransport(qzHTTPTransport transport);
