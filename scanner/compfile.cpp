// Proxy and mezzanine job requests: the profile and extension of the encoding, the audio-only
// rule, the request's extra parameters and the status of the outcome.
#include "scanner/clipwatch.h"

#include "db/dbcws.h"
#include "monitor/completion.h"
#include "platform/bytetext.h"
#include "platform/qzlog.h"
#include "platform/qzpath.h"
#include "platform/vexorequests.h"
#include "scanner/clipwatch_p.h"
#include "scanner/elementsettings.h"

#include <QString>

namespace
{

constexpr int kDebugLogRequestEnd = 0x20000000;
constexpr const char* kAudioExtensions = ".wav.aif.mp3.mp4a.aac.ac3.m4a.";

bool isAudioOnly(const std::string& path)
{
    std::string ext;
    qzOSSplitPath(path, nullptr, nullptr, nullptr, &ext);
    const QString dotted = QString::fromStdString(ext).toLower() + ".";
    return !ext.empty() && QString(kAudioExtensions).contains(dotted);
}

void appendToName(std::string& path, const char* suffix)
{
    std::string drive, dir, name, ext;
    qzOSSplitPath(path, &drive, &dir, &name, &ext);
    path = drive + dir + name + suffix + ext;
}

} // namespace

int CQZClipwatch::MakeCompFile(const std::string& anchor, std::string& target, int height,
                               int width, int mode, int dataRate, std::string typeWord,
                               const std::string& modeWord, const std::string& audioRouting,
                               bool send, bool deleteExisting)
{
    const CWSSettings s = Settings();
    const bool proxy = typeWord == "proxy";
    std::string profile, extension, commandFlags;
    if (proxy) {
        typeWord.clear();
        commandFlags = s.ProxyCmdFlags;
        if (!cwsProxyProfile(mode, &profile, &extension))
            return -2;
    } else {
        commandFlags = s.MezzanineCmdFlags;
        profile = modeWord;
        if (modeWord.empty() || !cwsMezzanineExtension(modeWord, &extension))
            return -2;
        if (!typeWord.empty() && !cwsMezzanineTypeExtension(typeWord, &extension))
            ErrOut("\nCWS-Mezz unknown type specified <%s> ", typeWord.c_str());
    }
    ChangeFileExtension(target, extension);
    if (textOfBytes(target).compare(textOfBytes(anchor), Qt::CaseInsensitive) == 0)
        appendToName(target, proxy ? "_proxy" : "_mezzanine");
    if (isAudioOnly(anchor) && !isAudioOnly(target)) {
        ErrOut("\nCWS-Create MP3  <%s> to <%s>", anchor.c_str(), target.c_str());
        profile = "mp3-128kbps";
        ChangeFileExtension(target, ".mp3");
    }
    if (deleteExisting && qzOSFileExists(target))
        qzOSDeleteFile(target);

    const std::string service = ChooseService(s);
    std::string url = vexoCompRequest(service, s.cmdip, cwsUniformPath(anchor),
                                      cwsUniformPath(target), profile, dataRate, height, width);
    if (!typeWord.empty())
        url += "&type=" + typeWord;
    if (!audioRouting.empty())
        url += QString::fromStdString(audioRouting).compare("stereo", Qt::CaseInsensitive) == 0
                   ? std::string("&stereo=1")
                   : "&aroute=" + audioRouting;
    if (!commandFlags.empty())
        url += "&flags=" + commandFlags;
    url += kVexoTimeConversion;
    if (s.CompressedFileLimit != 0)
        url += kVexoFixOut + std::to_string(s.CompressedFileLimit);

    if (send) {
        const std::optional<std::string> reply = vexoSendRequest(url, kVexoTimeoutMs);
        if (!reply) {
            ServiceUnanswered(service);
            return -1;
        }
        if (reply->find("success") == std::string::npos) {
            // The reply is the reason, as for the elements with a fixed profile.
            dbCWSSetElementStatus(Database().get(), -1, anchor,
                                  proxy ? CWS_ELEMENT_PROXY : CWS_ELEMENT_MEZZANINE, reply->c_str(),
                                  reply->c_str(), QZ_ERROR, reply->c_str());
            return 1;
        }
    }
    QueueJob(url, proxy ? "proxy" : "mezzanine", send);
    LogRequestEnd(dbCwsFindElement(CWS_ELEMENT_PROXY)->endLine, anchor);
    return 0;
}

void CQZClipwatch::RequestCompFile(bool mezzanine, const std::string& anchor, bool send,
                                   bool deleteExisting, int id)
{
    const CWSSettings s = Settings();
    const std::shared_ptr<dbCwsHandle> db = Database();
    const dbCwsElement& e =
        *dbCwsFindElement(mezzanine ? CWS_ELEMENT_MEZZANINE : CWS_ELEMENT_PROXY);
    const unsigned code = e.code;
    const std::string noun = e.noun;
    std::string target = cwsElementTarget(code, anchor, cwsElementDir(s, e), cwsElementFlags(s, e));
    if (MakeDirStructure(target) != 0)
        dbCWSSetElementStatus(db.get(), id, anchor, code, nullptr, nullptr, QZ_ERROR,
                              (noun + " Not Created could not create directory").c_str());
    const int result =
        mezzanine ? MakeCompFile(anchor, target, s.MezzanineHeight, s.MezzanineWidth,
                                 s.MezzanineFlags, s.MezzanineDataRate, s.MezzanineTypeS,
                                 s.MezzanineModeS, s.MezzanineAudioRouting, send, deleteExisting)
                  : MakeCompFile(anchor, target, s.ProxyHeight, s.ProxyWidth, s.ProxyMode,
                                 s.ProxyDataRate, "proxy", std::string(), s.ProxyAudioRouting, send,
                                 deleteExisting);
    switch (result) {
    case 0:
        dbCWSSetElementStatus(db.get(), id, anchor, code, nullptr, target.c_str(), QZ_IN_PROGRESS,
                              "in progress");
        break;
    case -2:
        dbCWSSetElementStatus(db.get(), id, anchor, code, nullptr, nullptr, QZ_ERROR,
                              (noun + " Not Created No Valid Profile Specified").c_str());
        CheckClipCompletion(this, anchor); // no job follows
        break;
    case -1:
        dbCWSSetElementStatus(db.get(), id, anchor, code, nullptr, nullptr, QZ_NETWORK_ERROR,
                              (noun + " Not Created No Response from VexoBase").c_str());
        CheckServiceAddress();
        break;
    default:
        // Refused, its reply written: no job follows, so the clip's outcome is decided here.
        CheckClipCompletion(this, anchor);
        break;
    }
    LogRequestEnd(mezzanine ? "EndMezzanine=<%s>  In progress : %d md5 : %d"
                            : "EndProxy=<%s>  In progress : %d md5 : %d",
                  anchor);
}

void CQZClipwatch::MakeProxy(const std::string& anchor, bool send, bool deleteExisting, int id)
{
    RequestCompFile(false, anchor, send, deleteExisting, id);
}

void CQZClipwatch::MakeMezzanine(const std::string& anchor, bool send, bool deleteExisting, int id)
{
    RequestCompFile(true, anchor, send, deleteExisting, id);
}
