// Reply documents and frames of the control connection: built, and read back.
#include "control/xmlreply.h"

#include "control/frame.h"

#include <QRegularExpression>
#include <QStringList>

namespace control
{

namespace
{

const char kDocumentStart[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<clipwatch>\n";
const char kDocumentEnd[] = "</clipwatch>\n";

QString escaped(const QString& text)
{
    return QString::fromStdString(xmlEscaped(text.toStdString()));
}

// One body line per "&"-part: "\t<key>value</key>", or "\t<word> 1 </word>" for a bare word.
QString bodyLines(const QString& reply)
{
    QString body;
    for (const QString& part : reply.split('&')) {
        const QStringList pieces = part.split('=');
        const QString& name = pieces[0];
        const QString content = pieces.size() >= 2 ? escaped(pieces[1]) : QString(" 1 ");
        body += "\t<" + name + ">" + content + "</" + name + ">\n";
    }
    return body;
}

} // namespace

std::string xmlEscaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString replyDocument(int result, const std::optional<std::string>& reply)
{
    if (!reply)
        return kDocumentStart + QString("\t<value>%1</value>\n").arg(result) + kDocumentEnd;
    const QString text = QString::fromStdString(*reply);
    const QString body = text.startsWith('<') ? text + "\n" : bodyLines(text);
    return kDocumentStart + QString("<return value=\"%1\">%1</return>\n").arg(result) + body +
           kDocumentEnd;
}

QString replyFrame(const QString& sdims, int result, const std::optional<std::string>& reply)
{
    return kFrameMarker + "cwsms=" + sdims + (reply ? "&&cwsxml=" : "&cwsxml=") +
           replyDocument(result, reply) + kFrameMarker;
}

QMap<QString, QString> replyValues(const QString& xml)
{
    static const QRegularExpression element(
        QStringLiteral("<([A-Za-z_][\\w.-]*)(?: value=\"[^\"]*\")?>([^<]*)</\\1>"));
    QMap<QString, QString> values;
    for (auto it = element.globalMatch(xml); it.hasNext();) {
        const auto match = it.next();
        values.insert(match.captured(1), match.captured(2).trimmed());
    }
    return values;
}

} // namespace control
