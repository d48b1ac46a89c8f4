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
#include "scanner/elementsettings.h"

#include <QString>

namespace
{

constexpr int kDebugLogRequestEnd = 0x20000000;

// The job start of element `e` on `service`.
std::string requestURL(const dbCwsElement& e, const CWSSettings& s, const std::string& service,
                       const std::string& source, const std::string& target, int frame, int width,
                       int quality)
{
    std::string url;
    switch (e.code) {
    case CWS_ELEMENT_PICON:
        url = vexoPiconRequest(service, s.serviceHost, source, target, width, frame, quality);
        break;
    case CWS_ELEMENT_XMP:
        url = vexoJobRequest(VexoJob::Xmp, service, s.cmdip, source, target);
        break;
    case CWS_ELEMENT_RTIN:
        url = vexoJobRequest(VexoJob::Rtin, service, s.cmdip, source, target);
        break;
    case CWS_ELEMENT_WRAP:
        url = vexoJobRequest(VexoJob::Wrap, service, s.cmdip, source, target);
        if (s.WrapDuration != 0)
            url += kVexoFixOut + std::to_string(s.WrapDuration);
        break;
    default:
        url = vexoJobRequest(VexoJob::Md5, service, s.cmdip, source, target);
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
    const dbCwsElement& e = *dbCwsFindElement(code);
    const CWSSettings s = Settings();
    const std::shared_ptr<dbCwsHandle> db = Database();
    const std::string target =
        e.dirKey ? cwsElementTarget(code, anchor, cwsElementDir(s, e), cwsElementFlags(s, e))
                 : anchor;
    const std::string noun = e.noun;
    if (e.makesFolders && MakeDirStructure(target) != 0)
        dbCWSSetElementStatus(db.get(), id, anchor, code, nullptr, nullptr, QZ_ERROR,
                              (noun + " Not Created could not create directory").c_str());
    if (deleteExisting && e.dirKey && qzOSFileExists(target))
        qzOSDeleteFile(target);
    const std::string service = ChooseService(s);
    const std::string url = requestURL(e, s, service, cwsUniformPath(anchor),
                                       cwsUniformPath(target), frame, width, quality);
    dbCWSSetElementStatus(db.get(), id, anchor, code, e.requestText, url.c_str(), QZ_IN_PROGRESS,
                          e.requestError);
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
        ServiceUnanswered(service);
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
        QueueJob(url, e.word.c_str(), send);
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
    const dbCwsElement* element = dbCwsFindElementByWord(word);
    if (element && element->noun)
        RequestByCode(element->code, anchor, true, true, -1);
    return 0;
}
