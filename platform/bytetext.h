// Byte strings as QString and back, without loss. File names are bytes on Linux and need not be
// UTF-8, while the job list and the monitor work on QString: valid UTF-8 decodes as usual and
// each byte of an invalid sequence becomes the lone code unit U+DC00 + byte ("surrogate
// escape"), which the way back turns into that byte again.
#pragma once

#include <QString>

#include <string>
#include <string_view>

// The text of `bytes`; bytesOfText(textOfBytes(b)) == b for every b. Valid UTF-8 gives what
// QString::fromUtf8 gives, except that a leading byte order mark is kept.
QString textOfBytes(std::string_view bytes);

// The bytes of `text`: each lone code unit U+DC80..U+DCFF gives its low byte, the rest is
// encoded as UTF-8 (as QString::toUtf8).
std::string bytesOfText(const QString& text);
