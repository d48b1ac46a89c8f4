// The reply documents of the control connection, built by the program and read by the
// controller: a reply text becomes a "<clipwatch>" document with a return line and one element
// per "key=value" part, or is taken as it is when it is already an XML fragment; a request
// without reply text gets a "<value>" document. Texts inside elements are escaped, so any path
// or status text gives a well-formed document.
#pragma once

#include <QMap>
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

// The values of a reply document: the return value under "return" and each body element by
// name; a status fragment's elements (totalClips, state, ...) come out the same way.
QMap<QString, QString> replyValues(const QString& xml);

} // namespace control
