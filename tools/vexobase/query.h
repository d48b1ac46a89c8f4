// Request parsing: the query of a service URL split into ordered key/value pairs.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vexobase
{

// The parsed query. Keys are lower-cased; values are percent-decoded. The program sends paths
// with a raw "&" inside, so a fragment without "=" that follows a source, target, pisrc or
// pidst value continues that value ("source=a&b.mov" gives the source "a&b.mov").
class Query
{
public:
    explicit Query(const std::string& rawQuery);

    // The first value of `key` (lower case), or `fallback` when it is absent.
    std::string get(const std::string& key, const std::string& fallback = {}) const;
    bool has(const std::string& key) const;
    // The value of `key` as an integer; `fallback` when absent or not a number.
    int getInt(const std::string& key, int fallback) const;
    // True when `key` is "1", "true" or "yes" (ignoring case).
    bool flag(const std::string& key) const;

private:
    std::vector<std::pair<std::string, std::string>> pairs_;
};

// Decodes %XX escapes; a "%" not followed by two hex digits stays as it is. "+" stays "+".
std::string percentDecode(const std::string& text);

std::string toLower(std::string text);

} // namespace vexobase
