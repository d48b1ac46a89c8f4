// Request and reply frames over bounded receive buffers.
#include "control/frame.h"

#include "platform/qzlog.h"

namespace control
{

const QString kFrameMarker = QStringLiteral("<elf>");

namespace
{

// The marker and the eight lead-in characters before the request.
constexpr int kRequestOffset = 13;

// Drops text before the first opening marker. Without any marker, all but a tail that may
// be the start of one goes.
void dropLeadingText(QString& buffer)
{
    int start = buffer.indexOf(kFrameMarker);
    if (start < 0)
        start = std::max(0, buffer.size() - (kFrameMarker.size() - 1));
    if (start == 0)
        return;
    ErrOut("\nControl: %d characters outside a frame dropped ", start);
    buffer.remove(0, start);
}

// Drops the buffer's text up to the closing marker when more than kMaxOpenFrame characters
// come before it: that marker then opens the next frame, so one over-long frame cannot shift
// every later one. Gives the closing marker's position, or -1 while it has not arrived.
int boundedFrameEnd(QString& buffer)
{
    int end = buffer.indexOf(kFrameMarker, kFrameMarker.size());
    while (end > kMaxOpenFrame) {
        ErrOut("\nControl: unfinished frame of %d characters dropped ", end);
        buffer.remove(0, end);
        end = buffer.indexOf(kFrameMarker, kFrameMarker.size());
    }
    if (end < 0 && buffer.size() > kMaxOpenFrame) {
        ErrOut("\nControl: unfinished frame of %d characters dropped ", buffer.size());
        buffer.clear();
    }
    return end;
}

} // namespace

QString requestFrame(const QString& request, const QString& tag)
{
    return kFrameMarker + QStringLiteral("CWSCTL01") + request + "&sdims=" + tag + kFrameMarker;
}

bool takeFrame(QString& buffer, InboundFrame& frame)
{
    dropLeadingText(buffer);
    if (!buffer.startsWith(kFrameMarker))
        return false;
    const int end = boundedFrameEnd(buffer);
    if (end < 0)
        return false;
    const QString inside = buffer.mid(kFrameMarker.size(), end - kFrameMarker.size());
    frame.request = end > kRequestOffset ? buffer.mid(kRequestOffset, end - kRequestOffset) : "";
    const int sdims = inside.indexOf("sdims=");
    frame.sdims = sdims < 0 ? inside : inside.mid(sdims + 6);
    buffer.remove(0, end + kFrameMarker.size());
    return true;
}

void FrameReader::append(const QString& text)
{
    buffer += text;
}

bool FrameReader::next(Received& out)
{
    out = Received();
    if (!buffer.startsWith(kFrameMarker)) {
        // A greeting: text closed by a marker it does not open with.
        const int end = buffer.indexOf(kFrameMarker);
        if (end < 0) {
            if (buffer.size() > kMaxOpenFrame)
                buffer.clear();
            return false;
        }
        out.text = buffer.left(end);
        buffer.remove(0, end + kFrameMarker.size());
        return true;
    }
    const int end = boundedFrameEnd(buffer);
    if (end < 0)
        return false;
    const QString body = buffer.mid(kFrameMarker.size(), end - kFrameMarker.size());
    buffer.remove(0, end + kFrameMarker.size());
    const int xml = body.indexOf("cwsxml=");
    if (!body.startsWith("cwsms=") || xml < 0) {
        out.text = body;
        return true;
    }
    out.isReply = true;
    out.tag = body.mid(6, xml - 6);
    while (out.tag.endsWith('&'))
        out.tag.chop(1);
    out.text = body.mid(xml + 7);
    return true;
}

} // namespace control
