// Inbound frames of the control connection: "<elf>", eight lead-in characters that are not
// interpreted, the request text (whose last token is "sdims=" and a value sent back with the
// reply) and "<elf>". The receive buffer is bounded: text before an opening marker, and a frame
// that holds more than kMaxOpenFrame characters before its closing marker (whether that marker
// has arrived or not), are dropped with a log line.
#pragma once

#include <QString>

namespace control
{

extern const QString kFrameMarker; // "<elf>"

// Characters a frame may hold before its closing marker arrives.
constexpr int kMaxOpenFrame = 1 << 20;

// One complete frame.
struct InboundFrame {
    QString request; // the text for ExecuteCommand; empty for a frame without one
    QString sdims;   // the "sdims=" value, or the frame's whole inside when it has none
};

// Takes the first complete frame out of the receive buffer; false when none is complete yet.
// Text that can never become a frame is dropped (and logged) on the way.
bool takeFrame(QString& buffer, InboundFrame& frame);

} // namespace control
