// Byte strings as text and back: invalid UTF-8 kept byte for byte, valid UTF-8 as Qt reads it.
#include "platform/bytetext.h"

#include <gtest/gtest.h>

TEST(ByteText, InvalidUtf8ComesBackByteForByteValidUtf8AsQtReadsIt)
{
    const std::string invalid[] = {
        "clip\xff\xfe.mov",
        "\xc3",                         // cut short
        "a\xc3(b\x80",                  // bad and stray continuation bytes
        "\xc0\xaf",                     // overlong "/"
        "\xed\xb3\xbf",                 // an encoded surrogate (U+DCFF)
        "\xf4\x90\x80\x80",             // above U+10FFFF
        "\xf0\x9f\x8e\xac\xff\xc3\xa9", // a pair, an invalid byte, "é"
        "\xff\xef\xbb\xbf",             // a byte order mark after an invalid byte
    };
    for (const std::string& bytes : invalid) {
        EXPECT_FALSE(textOfBytes(bytes).contains(QChar::ReplacementCharacter)) << bytes;
        EXPECT_EQ(bytesOfText(textOfBytes(bytes)), bytes);
    }
    for (const char* bytes : {"", "plain.mov", "é", "Čaj 日本語 🎬.mp4"}) {
        EXPECT_EQ(textOfBytes(bytes), QString::fromUtf8(bytes)) << bytes;
        EXPECT_EQ(bytesOfText(QString::fromUtf8(bytes)), bytes);
    }
}
