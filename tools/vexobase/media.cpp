// Media facts from ffprobe's JSON output, and the XMP and RTIN texts built from them.
#include "tools/vexobase/media.h"

#include "tools/vexobase/childprocess.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace vexobase
{

namespace
{

double parseRate(const QString& text)
{
    const QStringList parts = text.split('/');
    if (parts.size() != 2 || parts[1].toDouble() == 0)
        return text.toDouble();
    return parts[0].toDouble() / parts[1].toDouble();
}

void readStreams(const QJsonArray& streams, MediaInfo& info)
{
    for (const QJsonValue& value : streams) {
        const QJsonObject stream = value.toObject();
        const QString type = stream.value("codec_type").toString();
        const std::string codec = stream.value("codec_name").toString().toStdString();
        if (type == "video" && info.videoCodec.empty()) {
            info.videoCodec = codec;
            info.width = stream.value("width").toInt();
            info.height = stream.value("height").toInt();
            QString rate = stream.value("avg_frame_rate").toString();
            if (parseRate(rate) <= 0)
                rate = stream.value("r_frame_rate").toString();
            info.frameRateText = rate.toStdString();
            info.frameRate = parseRate(rate);
        } else if (type == "audio" && info.audioCodec.empty()) {
            info.audioCodec = codec;
        }
    }
}

QString creationDate(const QJsonObject& format, const std::string& path)
{
    const QString tagged = format.value("tags").toObject().value("creation_time").toString();
    const QDateTime parsed = QDateTime::fromString(tagged, Qt::ISODateWithMs);
    if (parsed.isValid())
        return parsed.toUTC().toString(Qt::ISODate);
    return QFileInfo(QString::fromStdString(path)).lastModified().toUTC().toString(Qt::ISODate);
}

// Reads "key=value" out of a compact ffprobe line ("pts_time=1.0|pos=48|flags=K_").
std::string field(const std::string& line, const std::string& key)
{
    std::istringstream parts(line);
    for (std::string part; std::getline(parts, part, '|');)
        if (part.rfind(key + "=", 0) == 0)
            return part.substr(key.size() + 1);
    return {};
}

} // namespace

bool probeMedia(const std::string& ffprobe, const std::string& path, MediaInfo& info,
                std::string& error, const std::atomic<bool>& stop)
{
    std::string json;
    const ChildResult run = runChild(
        {ffprobe, "-v", "error", "-print_format", "json", "-show_format", "-show_streams", path},
        [&](const std::string& line) { json += line + "\n"; }, stop);
    if (!run.started || run.exitCode != 0) {
        error = run.lastError.empty() ? "ffprobe failed" : run.lastError;
        return false;
    }
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    const QJsonObject format = root.value("format").toObject();
    info = MediaInfo{};
    info.duration = format.value("duration").toString().toDouble();
    readStreams(root.value("streams").toArray(), info);
    info.created = creationDate(format, path).toStdString();
    if (info.videoCodec.empty() && info.audioCodec.empty()) {
        error = "no audio or video stream";
        return false;
    }
    return true;
}

std::string xmpPacket(const MediaInfo& info)
{
    const QString rdf = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
    const QString dm = "http://ns.adobe.com/xmp/1.0/DynamicMedia/";
    const QString dim = "http://ns.adobe.com/xap/1.0/sType/Dimensions#";
    QString text;
    QXmlStreamWriter xml(&text);
    xml.setAutoFormatting(true);
    xml.writeProcessingInstruction(
        "xpacket", QString("begin=\"%1\" id=\"W5M0MpCehiHzreSzNTczkc9d\"").arg(QChar(0xFEFF)));
    xml.writeNamespace("adobe:ns:meta/", "x");
    xml.writeNamespace(rdf, "rdf");
    xml.writeNamespace(dm, "xmpDM");
    xml.writeNamespace("http://ns.adobe.com/xap/1.0/", "xmp");
    xml.writeNamespace(dim, "stDim");
    xml.writeStartElement("adobe:ns:meta/", "xmpmeta");
    xml.writeStartElement(rdf, "RDF");
    xml.writeStartElement(rdf, "Description");
    xml.writeAttribute(rdf, "about", "");
    xml.writeTextElement("http://ns.adobe.com/xap/1.0/", "CreateDate",
                         QString::fromStdString(info.created));
    xml.writeStartElement(dm, "duration");
    xml.writeAttribute(rdf, "parseType", "Resource");
    xml.writeTextElement(dm, "value", QString::number(info.duration, 'f', 3));
    xml.writeTextElement(dm, "scale", "1/1");
    xml.writeEndElement();
    if (!info.videoCodec.empty()) {
        xml.writeStartElement(dm, "videoFrameSize");
        xml.writeAttribute(rdf, "parseType", "Resource");
        xml.writeTextElement(dim, "w", QString::number(info.width));
        xml.writeTextElement(dim, "h", QString::number(info.height));
        xml.writeTextElement(dim, "unit", "pixel");
        xml.writeEndElement();
        xml.writeTextElement(dm, "videoFrameRate", QString::number(info.frameRate, 'g', 6));
        xml.writeTextElement(dm, "videoCompressor", QString::fromStdString(info.videoCodec));
    }
    if (!info.audioCodec.empty())
        xml.writeTextElement(dm, "audioCompressor", QString::fromStdString(info.audioCodec));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeProcessingInstruction("xpacket", "end=\"w\"");
    return text.toStdString() + "\n";
}

std::vector<std::string> packetListCommand(const std::string& ffprobe, const std::string& path)
{
    return {ffprobe,
            "-v",
            "error",
            "-select_streams",
            "v:0",
            "-show_entries",
            "packet=pts_time,pos,flags",
            "-of",
            "compact=p=0",
            path};
}

bool parseKeyFrame(const std::string& line, KeyFrame& frame)
{
    if (field(line, "flags").find('K') == std::string::npos)
        return false;
    const std::string time = field(line, "pts_time");
    const std::string position = field(line, "pos");
    try {
        frame.time = std::stod(time);
        frame.position = std::stoll(position);
        return true;
    } catch (const std::exception&) {
        return false; // "N/A" values
    }
}

std::string rtinText(const std::string& source, double duration, std::vector<KeyFrame> frames)
{
    std::stable_sort(frames.begin(), frames.end(),
                     [](const KeyFrame& a, const KeyFrame& b) { return a.time < b.time; });
    std::string text = "RTIN 1\nsource " + source + "\n";
    char line[96];
    std::snprintf(line, sizeof line, "duration %.6f\nkeyframes %zu\n", duration, frames.size());
    text += line;
    for (const KeyFrame& frame : frames) {
        std::snprintf(line, sizeof line, "%.6f %lld\n", frame.time, frame.position);
        text += line;
    }
    return text;
}

} // namespace vexobase
