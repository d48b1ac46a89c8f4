// Inbound frame parsing over the bounded receive buffer.
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

} // namespace

bool takeFrame(QString& buffer, InboundFrame& frame)
{
    dropLeadingText(buffer);
    if (!buffer.startsWith(kFrameMarker))
        return false;
    int end = buffer.indexOf(kFrameMarker, kFrameMarker.size());
    // A frame longer than the limit is never taken: the marker that follows it opens the next
    // frame, so one over-long frame cannot shift every later one.
    while (end > kMaxOpenFrame) {
        ErrOut("\nControl: unfinished frame of %d characters dropped ", end);
        buffer.remove(0, end);
        end = buffer.indexOf(kFrameMarker, kFrameMarker.size());
    }
    if (end < 0) {
        if (buffer.size() > kMaxOpenFrame) {
            ErrOut("\nControl: unfinished frame of %d characters dropped ", buffer.size());
            buffer.clear();
        }
        return false;
    }
    const QString inside = buffer.mid(kFrameMarker.size(), end - kFrameMarker.size());
    frame.request = end > kRequestOffset ? buffer.mid(kRequestOffset, end - kRequestOffset) : "";
    const int sdims = inside.indexOf("sdims=");
    frame.sdims = sdims < 0 ? inside : inside.mid(sdims + 6);
    buffer.remove(0, end + kFrameMarker.size());
    return true;
}

} // namespace control
