// Element job requests with a fixed profile (picon, XMP, RTIN, wrap, MD5): target, request,
// reply judgement, status writes and the job string handed to the monitor.
#include "scanner/clipwatch.h"

#include "db/dbcws.h"
#include "monitor/completion.h"
#include "platform/bytetext.h"
#include "platform/qzlog.h"
#include "platform/qzpath.h"
#include "platform/vexorequests.h"
#include "scanner/clipwatch_p.h"

#include <QString>

namespace
{

constexpr int kDebugLogRequestEnd = 0x20000000;

// One element with a fixed profile. The texts written to its record, as (element text, value
// text, error text) of dbCWSSetElementStatus; "%url" stands for the request URL.
struct FixedElement {
    unsigned code;
    const char* word;                // job type word
    const char* noun;                // in the failure messages
    std::string CWSSettings::*dir;   // output directory (null: no output file)
    int CWSSettings::*flags;         // output flags
    bool makeDirectories;            // create the target's directories first
    const char* progressElementText; // element text of the in-progress write
    const char* progressErrorText;   // error text of the in-progress write
    const char* endLine;             // DebugOutFlags bit 29 line
};

const FixedElement fixedElements[] = {
    {CWS_ELEMENT_PICON, "picon", "Picon", &CWSSettings::PiconDir, &CWSSettings::PiconFlags, true,
     "in progress", nullptr, "EndPicon=<%s> In progress : %d md5 : %d"},
    {CWS_ELEMENT_XMP, "xmp", "XMP", &CWSSettings::XMPDir, &CWSSettings::XMPFlags, true, nullptr,
     nullptr, "EndXMP=<%s> In progress : %d md5 : %d"},
    {CWS_ELEMENT_RTIN, "rtin", "Rtin", &CWSSettings::RtinDir, &CWSSettings::RtinFlags, false,
     "in progress", nullptr, "EndRTIN=<%s>  In progress : %d md5 : %d"},
    {CWS_ELEMENT_WRAP, "wrap", "Wrap", &CWSSettings::WrapDir, &CWSSettings::WrapFlags, true,
     nullptr, nullptr, "EndWrap=<%s>  In progress : %d md5 : %d"},
    {CWS_ELEMENT_MD5, "md5", "MD5", nullptr, nullptr, false, "in progress", "Making MD5",
     "EndMD5=<%s>  In progress : %d md5 : %d"},
};

const FixedElement& fixedElement(unsigned code)
{
    for (const FixedElement& e : fixedElements)
        if (e.code == code)
            return e;
    return fixedElements[0];
}

std::string requestURL(const FixedElement& e, const CWSSettings& s, const std::string& source,
                       const std::string& target, int frame, int width, int quality)
{
    std::string url;
    switch (e.code) {
    case CWS_ELEMENT_PICON:
        url = vexoPiconRequest(s.serviceHost, s.serviceHost, source, target, width, frame, quality);
        break;
    case CWS_ELEMENT_XMP:
        url = vexoJobRequest(VexoJob::Xmp, s.serviceHost, s.cmdip, source, target);
        break;
    case CWS_ELEMENT_RTIN:
        url = vexoJobRequest(VexoJob::Rtin, s.serviceHost, s.cmdip, source, target);
        break;
    case CWS_ELEMENT_WRAP:
        url = vexoJobRequest(VexoJob::Wrap, s.serviceHost, s.cmdip, source, target);
        if (s.WrapDuration != 0)
            url += kVexoFixOut + std::to_string(s.WrapDuration);
        break;
    default:
        url = vexoJobRequest(VexoJob::Md5, s.serviceHost, s.cmdip, source, target);
        break;
    }
    return url + kVexoTimeConversion;
}

bool contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

void CQZClipwatch::QueueJob(const std::string& url, const char* word, bool sent)
{
    checkThread.jobList.append(textOfBytes(vexoJobString(url, word, sent)));
}

void CQZClipwatch::LogRequestEnd(const char* format, const std::string& anchor)
{
    if (!(Settings().DebugOutFlags & kDebugLogRequestEnd))
        return;
    const std::shared_ptr<dbCwsHandle> db = Database();
    ErrOut(format, anchor.c_str(), dbCWSGetProcessesInProgress(db.get()),
           dbCWSGetMD5ProcessesInProgress(db.get()));
}

void CQZClipwatch::RequestElement(unsigned code, const std::string& anchor, bool send,
                                  bool deleteExisting, int id, int frame, int width, int quality)
{
    const FixedElement& e = fixedElement(code);
    const CWSSettings s = Settings();
    const std::shared_ptr<dbCwsHandle> db = Database();
    const std::string target =
        e.dir ? cwsElementTarget(code, anchor, s.*e.dir, s.*e.flags) : anchor;
    const std::string noun = e.noun;
    if (e.makeDirectories && MakeDirStructure(target) != 0)
        dbCWSSetElementStatus(db.get(), id, anchor, code, nullptr, nullptr, QZ_ERROR,
                              (noun + " Not Created could not create directory").c_str());
    if (deleteExisting && e.dir && qzOSFileExists(target))
        qzOSDeleteFile(target);
    const std::string url =
        requestURL(e, s, cwsUniformPath(anchor), cwsUniformPath(target), frame, width, quality);
    dbCWSSetElementStatus(db.get(), id, anchor, code, e.progressElementText, url.c_str(),
                          QZ_IN_PROGRESS, e.progressErrorText);
    const std::optional<std::string> reply =
        send ? vexoSendRequest(url, kVexoTimeoutMs) : std::optional<std::string>();
    const bool isMD5 = code == CWS_ELEMENT_MD5;
    if (send && !reply) {
        if (isMD5)
            dbCWSSetElementStatus(db.get(), id, anchor, code, "Error No VexoBase",
                                  "Error MD5 Not Created No Response from VexoBase",
                                  QZ_NETWORK_ERROR, nullptr);
        else
            dbCWSSetElementStatus(db.get(), id, anchor, code, nullptr, nullptr, QZ_NETWORK_ERROR,
                                  (noun + " Not Created No Response from VexoBase").c_str());
        serviceAvailable = 0;
        CheckServiceAddress();
    } else if (send && (!contains(*reply, "success") || (isMD5 && contains(*reply, "fail")))) {
        if (isMD5)
            dbCWSSetElementStatus(db.get(), id, anchor, code, "Error", nullptr, QZ_ERROR, nullptr);
        else
            dbCWSSetElementStatus(db.get(), id, anchor, code, reply->c_str(), reply->c_str(),
                                  QZ_ERROR, reply->c_str());
        // No job follows a refusal: the clip's outcome is decided here.
        CheckClipCompletion(this, anchor);
    } else {
        QueueJob(url, e.word, send);
        if (code == CWS_ELEMENT_PICON)
            dbCWSSetElementStatus(db.get(), id, anchor, code, nullptr, "Making Picon",
                                  QZ_IN_PROGRESS, nullptr);
    }
    LogRequestEnd(e.endLine, anchor);
}

void CQZClipwatch::MakePicon(const std::string& anchor, int frame, int width, int quality,
                             bool send, bool deleteExisting, int id)
{
    RequestElement(CWS_ELEMENT_PICON, anchor, send, deleteExisting, id, frame, width, quality);
}

void CQZClipwatch::MakeXMP(const std::string& anchor, bool send, bool deleteExisting, int id)
{
    RequestElement(CWS_ELEMENT_XMP, anchor, send, deleteExisting, id);
}

void CQZClipwatch::MakeRtin(const std::string& anchor, bool send, bool deleteExisting, int id)
{
    RequestElement(CWS_ELEMENT_RTIN, anchor, send, deleteExisting, id);
}

void CQZClipwatch::MakeWrap(const std::string& anchor, bool send, bool deleteExisting, int id)
{
    RequestElement(CWS_ELEMENT_WRAP, anchor, send, deleteExisting, id);
}

void CQZClipwatch::MakeMD5(const std::string& anchor, bool send, int id)
{
    RequestElement(CWS_ELEMENT_MD5, anchor, send, false, id);
}

void CQZClipwatch::RequestByCode(unsigned code, const std::string& anchor, bool send,
                                 bool deleteExisting, int id)
{
    if (code == CWS_ELEMENT_PROXY || code == CWS_ELEMENT_MEZZANINE) {
        RequestCompFile(code == CWS_ELEMENT_MEZZANINE, anchor, send, deleteExisting, id);
        return;
    }
    const CWSSettings s = Settings();
    RequestElement(code, anchor, send, deleteExisting, id, s.PiconFrame, s.PiconWidth, 100);
}

int CQZClipwatch::MakeElement(const std::string& word, const std::string& anchor)
{
    static const unsigned jobElements[] = {
        CWS_ELEMENT_XMP,       CWS_ELEMENT_MD5,  CWS_ELEMENT_PICON, CWS_ELEMENT_PROXY,
        CWS_ELEMENT_MEZZANINE, CWS_ELEMENT_RTIN, CWS_ELEMENT_WRAP};
    const dbCwsElement* element = dbCwsFindElementByWord(word);
    for (unsigned code : jobElements)
        if (element && element->code == code)
            RequestByCode(code, anchor, true, true, -1);
    return 0;
}
