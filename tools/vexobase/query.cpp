// Request parsing: splits the raw query on "&", decodes each fragment and joins path values
// that the program sent with a raw "&" inside.
#include "tools/vexobase/query.h"

#include <algorithm>
#include <cctype>

namespace vexobase
{

namespace
{

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool takesContinuation(const std::string& key)
{
    return key == "source" || key == "target" || key == "pisrc" || key == "pidst";
}

} // namespace

std::string toLower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string percentDecode(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
            continue;
        }
        out += text[i];
    }
    return out;
}

Query::Query(const std::string& rawQuery)
{
    bool continuing = false;
    size_t start = 0;
    while (start <= rawQuery.size()) {
        size_t end = rawQuery.find('&', start);
        if (end == std::string::npos)
            end = rawQuery.size();
        const std::string fragment = rawQuery.substr(start, end - start);
        start = end + 1;
        const size_t equals = fragment.find('=');
        if (equals == std::string::npos) {
            if (continuing)
                pairs_.back().second += "&" + percentDecode(fragment);
            continue;
        }
        const std::string key = toLower(percentDecode(fragment.substr(0, equals)));
        pairs_.emplace_back(key, percentDecode(fragment.substr(equals + 1)));
        continuing = takesContinuation(key);
    }
}

std::string Query::get(const std::string& key, const std::string& fallback) const
{
    for (const auto& pair : pairs_)
        if (pair.first == key)
            return pair.second;
    return fallback;
}

bool Query::has(const std::string& key) const
{
    return std::any_of(pairs_.begin(), pairs_.end(),
                       [&](const auto& pair) { return pair.first == key; });
}

int Query::getInt(const std::string& key, int fallback) const
{
    const std::string text = get(key);
    try {
        size_t used = 0;
        const int value = std::stoi(text, &used);
        return used == text.size() ? value : fallback;
    } catch (const std::exception&) {
        return fallback;
    }
}

bool Query::flag(const std::string& key) const
{
    const std::string value = toLower(get(key));
    return value == "1" || value == "true" || value == "yes";
}

} // namespace vexobase
