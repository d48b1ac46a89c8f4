// The frames of the control connection, both ways, for the program and the controller.
// A request frame is "<elf>", eight lead-in characters that are not interpreted, the request
// text (whose last token is "sdims=" and a tag sent back with the reply) and "<elf>". A reply
// frame is "<elf>cwsms=" tag, "&" or "&&", "cwsxml=", an XML document and "<elf>". The program's
// greeting is a text followed by "<elf>" with no opening marker. Receive buffers are bounded:
// text before an opening marker, and a frame that holds more than kMaxOpenFrame characters
// before its closing marker (whether that marker has arrived or not), are dropped.
#pragma once

#include <QString>

namespace control
{

extern const QString kFrameMarker; // "<elf>"

// Characters a frame may hold before its closing marker.
constexpr int kMaxOpenFrame = 1 << 20;

// The controller's frame for `request`, tagged with `tag`.
QString requestFrame(const QString& request, const QString& tag);

// One request frame, as the program receives it.
struct InboundFrame {
    QString request; // the text for ExecuteCommand; empty for a frame without one
    QString sdims;   // the "sdims=" value, or the frame's whole inside when it has none
};

// Takes the first complete request frame out of the program's receive buffer; false when none
// is complete yet. Text that can never become a frame is dropped (and logged) on the way.
bool takeFrame(QString& buffer, InboundFrame& frame);

// One text the controller receives: a reply (tag and XML document) or a greeting.
struct Received {
    bool isReply = false; // false: `text` is a greeting or stray text
    QString tag;          // the "cwsms=" value of a reply
    QString text;         // the XML document of a reply, or the greeting
};

// The controller's receive buffer: accumulates text and hands out whole texts.
class FrameReader
{
public:
    void append(const QString& text);
    // Takes the next complete text; false when none is complete yet.
    bool next(Received& out);

private:
    QString buffer; // text received and not yet handed out
};

} // namespace control
