// Request frames, reply frame reading and reply document values.
#include "tools/clipwatchctl/frame.h"

#include <QRegularExpression>

namespace ctl
{

const QString kMarker = QStringLiteral("<elf>");

QString requestFrame(const QString& request, const QString& tag)
{
    return kMarker + QStringLiteral("CWSCTL01") + request + "&sdims=" + tag + kMarker;
}

void FrameReader::append(const QString& text)
{
    buffer += text;
    if (buffer.size() > kMaxPending)
        buffer.clear();
}

bool FrameReader::next(Received& out)
{
    if (buffer.startsWith(kMarker)) {
        const int end = buffer.indexOf(kMarker, kMarker.size());
        if (end < 0)
            return false;
        const QString body = buffer.mid(kMarker.size(), end - kMarker.size());
        buffer.remove(0, end + kMarker.size());
        out = Received();
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
    const int end = buffer.indexOf(kMarker);
    if (end < 0)
        return false;
    out = Received();
    out.text = buffer.left(end);
    buffer.remove(0, end + kMarker.size());
    return true;
}

QMap<QString, QString> replyValues(const QString& xml)
{
    static const QRegularExpression element(
        QStringLiteral("<([A-Za-z_][\\w.-]*)(?: value=\"[^\"]*\")?>([^<]*)</\\1>"));
    QMap<QString, QString> values;
    auto it = element.globalMatch(xml);
    while (it.hasNext()) {
        const auto match = it.next();
        values.insert(match.captured(1), match.captured(2).trimmed());
    }
    return values;
}

} // namespace ctl
