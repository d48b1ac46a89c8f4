// Where an element's output file goes and what it is called, the proxy modes and the
// extension tables of mezzanine files.
#include "db/elements.h"
#include "platform/qzpath.h"
#include "scanner/clipwatch_p.h"
#include "scanner/proxymodes.h"

#include <QString>

namespace
{

// A word beginning (compared ignoring case) and the extension it gives; first match wins.
struct WordExtension {
    const char* beginning;
    const char* extension;
};

const WordExtension mezzanineModes[] = {
    {"mov", ".mov"},   {"mp3", ".mp3"},       {"wave", ".wave"}, {"mp4", ".mp4"},  {"mxf", ".mxf"},
    {"rvt", ".mxf"},   {"dnxhd", ".mxf"},     {"op1a", ".mxf"},  {"ts-", ".ts"},   {"hls", ".ts"},
    {"aces", ".aces"}, {"scaledown", ".mp4"}, {"hd1080", "mp4"}, {"hd720", "mp4"}, {"hd360", "mp4"},
    {"h264", "mp4"},   {"h265", "mp4"},       {"proxy", "mp4"},  {"LBR", "mp4"},   {"HEVC", "mp4"},
    {"DASH", "m4v"},   {"HLS", "ts"},
};

const WordExtension mezzanineTypes[] = {
    {"mxf", "mxf"}, {"mp4-fmp4", "m4v"}, {"mp4", "mp4"}, {"mov", "mov"}, {"ts", "ts"},
};

template <size_t N>
bool findByBeginning(const WordExtension (&table)[N], const std::string& word,
                     std::string* extension)
{
    const QString w = QString::fromStdString(word);
    for (const WordExtension& row : table)
        if (w.startsWith(row.beginning, Qt::CaseInsensitive)) {
            *extension = row.extension;
            return true;
        }
    return false;
}

std::string withTrailingSeparator(const std::string& dir)
{
    if (dir.empty() || dir.back() == '/' || dir.back() == '\\')
        return dir;
    return dir + qzOSPathSeparator(dir);
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

std::string cwsOutputDirectory(const std::string& anchor, const std::string& outputDir, int flags)
{
    std::string drive, dir;
    qzOSSplitPath(anchor, &drive, &dir, nullptr, nullptr);
    if (outputDir.empty())
        return drive + dir;
    const std::string out = withTrailingSeparator(outputDir);
    if (flags == 2)
        return out;
    const size_t scheme = dir.find("://");
    if (scheme != std::string::npos) {
        const size_t slash = dir.find('/', scheme + 3);
        return out + (slash == std::string::npos ? std::string() : dir.substr(slash + 1));
    }
    return out + (dir.empty() ? dir : dir.substr(1));
}

std::string cwsElementTarget(unsigned code, const std::string& anchor, const std::string& outputDir,
                             int flags)
{
    if (code == CWS_ELEMENT_MD5)
        return anchor;
    std::string name, ext;
    qzOSSplitPath(anchor, nullptr, nullptr, &name, &ext);
    const std::string dir = cwsOutputDirectory(anchor, outputDir, flags);
    switch (code) {
    case CWS_ELEMENT_PICON:
        return dir + name + ext + ".picon.jpg";
    case CWS_ELEMENT_XMP:
        return dir + name + ext + ".xmp";
    case CWS_ELEMENT_RTIN:
        return dir + name + ".rtin";
    case CWS_ELEMENT_PROXY:
        if (outputDir.empty() && CheckFileExtension(name, ".mp4") && !endsWith(name, "_proxy"))
            name += "_proxy";
        return dir + name + (ext.empty() ? ".mov" : ext);
    case CWS_ELEMENT_MEZZANINE:
        if (outputDir.empty() && qzOSFileExists(name) && !endsWith(name, "_mezzanine"))
            name += "_mezzanine";
        return dir + name + (ext.empty() ? ".mov" : ext);
    default: // wrap: the source's own file name
        return dir + name + ext;
    }
}

bool cwsProxyProfile(int mode, std::string* profile, std::string* extension)
{
    const CWSProxyMode* row = cwsFindProxyMode(mode);
    if (!row)
        return false;
    *profile = row->profile;
    *extension = row->extension;
    return true;
}

const std::vector<CWSProxyMode>& cwsProxyModes()
{
    static const std::vector<CWSProxyMode> modes = {
        {22, "mp3-128kbps", ".mp3", nullptr, "mp3-128kbps"},
        {78, "TS-h264", ".ts", nullptr, nullptr},
        {197, "mp4-h264", ".mp4", "mp4", "mp4-h264"},
        {210, "HLS-TS-Multibitrate", ".ts", "hls", "HLS-TS-Multibitrate"},
        {211, "DASH-MP4-Multibitrate", ".m4v", "dash", "DASH-MP4-Multibitrate"},
        {218, "MXF-RDD-25", ".mxf", nullptr, nullptr},
        {220, "MP4-MultiOutput", ".mp4", "multioutput", "multioutput-mp4"},
    };
    return modes;
}

const CWSProxyMode* cwsFindProxyMode(int mode)
{
    for (const CWSProxyMode& row : cwsProxyModes())
        if (row.mode == mode)
            return &row;
    return nullptr;
}

bool cwsMezzanineExtension(const std::string& modeWord, std::string* extension)
{
    return findByBeginning(mezzanineModes, modeWord, extension);
}

bool cwsMezzanineTypeExtension(const std::string& typeWord, std::string* extension)
{
    return findByBeginning(mezzanineTypes, typeWord, extension);
}
