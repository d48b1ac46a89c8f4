// The reply documents of the control connection, built as text: a reply text becomes a
// "<clipwatch>" document with a return line and one element per "key=value" part, or is taken
// as it is when it is already an XML fragment; a request without reply text gets a "<value>"
// document. Texts inside elements are escaped, so any path or status text gives a
// well-formed document.
#pragma once

#include <QString>

#include <optional>
#include <string>

namespace control
{

// `text` with "&", "<" and ">" written as entities.
std::string xmlEscaped(const std::string& text);

// The XML document for `result` and `reply` (see above).
QString replyDocument(int result, const std::optional<std::string>& reply);

// The whole outbound frame: "<elf>cwsms=", the "sdims=" value, "&&cwsxml=" (one "&" without
// reply text), the document and "<elf>".
QString replyFrame(const QString& sdims, int result, const std::optional<std::string>& reply);

} // namespace control
