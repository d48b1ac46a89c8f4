// The clip completion check and the classification of MD5 results.
#include "monitor/completion.h"

#include "db/dbcws.h"

#include <QString>

#include <algorithm>
#include <cctype>

namespace
{

// One element as the check sees it.
struct Taking {
    bool done;    // came to its good end
    bool failed;  // came to a bad end
    bool settled; // came to an end of any kind
    bool wrap;    // the wrap element
};

bool isFailureState(int state)
{
    return state >= QZ_ERROR && state <= QZ_LOST_PROCESS && state != QZ_FOUND_FILE;
}

// An element with a state column. One that a short clip goes without is also done at 9;
// a done element is settled.
Taking byState(int state, bool nineIsDone, bool wrap)
{
    const bool done = state == QZ_FINISHED || (nineIsDone && state == 9);
    const bool failed = isFailureState(state);
    return {done, failed, done || failed, wrap};
}

// MD5 is settled when it is done or has failed: a failed checksum must not keep its clip in
// progress for ever.
Taking byMD5(const std::string& text)
{
    const int kind = ClassifyMD5Result(text);
    return {kind == 1, kind == 3, kind == 1 || kind == 3, false};
}

} // namespace

int ClassifyMD5Result(const std::string& text)
{
    const QString t = QString::fromStdString(text);
    // Besides the failure words, the texts this program itself writes for a refused or lost
    // checksum ("Error", "lost process", "lost process purged") are failures: taken as neither,
    // they would keep their clip in progress for ever.
    if (t.contains("Error ", Qt::CaseInsensitive) ||
        t.contains("Process Crashed", Qt::CaseInsensitive) ||
        t.compare("Error", Qt::CaseInsensitive) == 0 ||
        t.startsWith("lost process", Qt::CaseInsensitive))
        return 3;
    if (text.size() != 32)
        return 0;
    for (unsigned char c : text)
        if (!std::isalnum(c))
            return 0;
    return 1;
}

CompletionOutcome ClipCompletionOutcome(const dbCwsElementStatus& status, unsigned madeElements)
{
    const std::string md5 =
        QString::fromStdString(status.md5).compare("in progress", Qt::CaseInsensitive) == 0
            ? std::string()
            : status.md5;
    std::vector<Taking> taking;
    // Asked at the end of every job: the order is sorted once.
    static const std::vector<const dbCwsElement*> order =
        dbCwsElementsBy(&dbCwsElement::completionRank);
    for (const dbCwsElement* e : order) {
        if (!(madeElements & e->code))
            continue;
        if (e->kind == dbCwsElementKind::MD5)
            taking.push_back(byMD5(md5));
        else
            taking.push_back(byState(status.state(e->code), e->shortClipText != nullptr,
                                     e->code == CWS_ELEMENT_WRAP));
    }

    size_t first = 0;
    while (first < taking.size() && taking[first].done)
        ++first;
    if (first == taking.size())
        return CompletionOutcome::Complete;
    if (!taking[first].failed)
        return CompletionOutcome::Running;
    for (size_t i = first + 1; i < taking.size(); ++i)
        if (!taking[i].settled)
            return CompletionOutcome::Running;
    return taking[first].wrap ? CompletionOutcome::FailedOnWrap : CompletionOutcome::Failed;
}

void CheckClipCompletion(JobOwner* owner, const std::string& anchorPath)
{
    const std::shared_ptr<dbCwsHandle> db = owner->Database();
    const unsigned made = owner->JobSettingsNow().madeElements;
    dbCwsElementStatus status;
    if (!db || dbCWSGetElementStatus(db.get(), anchorPath, status, made) != 0)
        return;
    const CompletionOutcome outcome = ClipCompletionOutcome(status, made);
    if (outcome == CompletionOutcome::Running)
        return;
    const bool complete = outcome == CompletionOutcome::Complete;
    const int written = dbCWSSetElementStatus(
        db.get(), -1, anchorPath, CWS_ELEMENT_CLIP, nullptr, complete ? "Complete" : "Error",
        complete ? QZ_FINISHED : QZ_ERROR, complete ? "Success" : "Fail");
    // The claim is given up once the clip's end is written: a host that stops before that
    // leaves its claim to run out, and the host that takes the clip over finds it ended.
    if (written == 0)
        dbCWSReleaseClip(db.get(), anchorPath);
    if (outcome == CompletionOutcome::FailedOnWrap)
        owner->SetFailedClipCount(std::max(0, dbCWSGetErrorCount(db.get())));
}
