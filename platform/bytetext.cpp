// Surrogate escape of the bytes of invalid UTF-8.
#include "platform/bytetext.h"

namespace
{

constexpr ushort kEscapeBase = 0xDC00;
// Escaped bytes are never ASCII, which is always valid.
constexpr ushort kFirstEscape = 0xDC80;
constexpr ushort kLastEscape = 0xDCFF;

// Lead bytes of multi-byte sequences: their length and the range of their second byte, which
// rules out overlong forms, encoded surrogates and code points above U+10FFFF.
const struct {
    unsigned char first, last; // lead byte range
    size_t length;             // bytes of the sequence
    unsigned char low, high;   // range of the second byte
} kLeads[] = {{0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF}, {0xE1, 0xEC, 3, 0x80, 0xBF},
              {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF}, {0xF0, 0xF0, 4, 0x90, 0xBF},
              {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F}};

bool within(char c, unsigned char low, unsigned char high)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte >= low && byte <= high;
}

// Length of the valid UTF-8 sequence at `at`, 0 when the byte there does not begin one.
size_t sequenceLength(std::string_view bytes, size_t at)
{
    if (within(bytes[at], 0x00, 0x7F))
        return 1;
    for (const auto& lead : kLeads) {
        if (!within(bytes[at], lead.first, lead.last))
            continue;
        if (bytes.size() - at < lead.length || !within(bytes[at + 1], lead.low, lead.high))
            return 0;
        for (size_t i = 2; i < lead.length; ++i)
            if (!within(bytes[at + i], 0x80, 0xBF))
                return 0;
        return lead.length;
    }
    return 0;
}

// The code point of the valid sequence of `length` bytes at `at`.
char32_t codePoint(std::string_view bytes, size_t at, size_t length)
{
    static const unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t c = static_cast<unsigned char>(bytes[at]) & kLeadBits[length];
    for (size_t i = 1; i < length; ++i)
        c = c << 6 | (static_cast<unsigned char>(bytes[at + i]) & 0x3F);
    return c;
}

} // namespace

QString textOfBytes(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<int>(bytes.size()));
    for (size_t at = 0; at < bytes.size();) {
        const size_t length = sequenceLength(bytes, at);
        if (length == 0) {
            text += QChar(static_cast<ushort>(kEscapeBase + static_cast<unsigned char>(bytes[at])));
            ++at;
            continue;
        }
        const char32_t c = codePoint(bytes, at, length);
        if (QChar::requiresSurrogates(c)) {
            text += QChar(QChar::highSurrogate(c));
            text += QChar(QChar::lowSurrogate(c));
        } else {
            text += QChar(static_cast<ushort>(c));
        }
        at += length;
    }
    return text;
}

std::string bytesOfText(const QString& text)
{
    std::string bytes;
    int run = 0; // start of the text not yet encoded
    const auto encodeRun = [&](int end) {
        const QByteArray utf8 = QStringView(text).mid(run, end - run).toUtf8();
        bytes.append(utf8.constData(), static_cast<size_t>(utf8.size()));
    };
    for (int i = 0; i < text.size(); ++i) {
        const ushort unit = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i; // a pair: a code point above U+FFFF
            continue;
        }
        if (unit < kFirstEscape || unit > kLastEscape)
            continue;
        encodeRun(i);
        bytes += static_cast<char>(unit - kEscapeBase);
        run = i + 1;
    }
    encodeRun(text.size());
    return bytes;
}
