// Controller side of the control protocol: request frames out, reply frames in.
// A request frame is "<elf>", eight lead-in characters, the request, "&sdims=" and a tag, "<elf>";
// a reply frame is "<elf>cwsms=" tag, "&" or "&&", "cwsxml=" and an XML document, "<elf>".
// The program's greeting is a text followed by "<elf>" with no opening marker.
#pragma once

#include <QMap>
#include <QString>

namespace ctl
{

extern const QString kMarker; // "<elf>"

// The frame for `request`, tagged with `tag` (sent back in the reply).
QString requestFrame(const QString& request, const QString& tag);

// One text taken from the receive buffer: a reply (tag and XML) or a greeting.
struct Received {
    bool isReply = false; // false: `text` is a greeting or stray text
    QString tag;          // the "cwsms=" value of a reply
    QString text;         // the XML document of a reply, or the greeting
};

// Accumulates received text and hands out whole texts. Text that never completes within
// kMaxPending characters is dropped, so a broken peer cannot grow the buffer without bound.
class FrameReader
{
public:
    static constexpr int kMaxPending = 1 << 20;

    void append(const QString& text);
    // Takes the next complete text; false when none is complete yet.
    bool next(Received& out);

private:
    QString buffer; // text received and not yet handed out
};

// The values of a reply document: the return value under "return" and each body element by
// name; a status fragment's elements (totalClips, state, ...) come out the same way.
QMap<QString, QString> replyValues(const QString& xml);

} // namespace ctl
