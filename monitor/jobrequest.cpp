// Status URL building from a job string, fragment by fragment.
#include "monitor/jobrequest.h"

#include "db/elements.h"
#include "platform/vexorequests.h"

#include <QStringList>

namespace
{

const QString kQueryMark = QString::fromLatin1(kVexoQueryMark);

// Element words of the "type=" fragment, in matching order.
const char* const kTypeWords[] = {"proxy", "mezzanine", "picon", "xmp", "rtin", "md5", "wrap"};

// Keys of request values that the status request leaves out (exact case).
const char* const kDroppedKeys[] = {
    "request=",      "width=",      "kilobitrate=", "in=",      "out=",       "absin=",
    "absout=",       "tcoffset=",   "tc=",          "ub=",      "copy=",      "dest=",
    "cc=",           "afile=",      "v=",           "stereo=",  "aroute=",    "uuid=",
    "h264xprofile=", "h264xlevel=", "encodemode=",  "gopsize=", "alignment=", "pisize=",
    "piframe=",      "piskip=",     "flags=",       "flag="};

// Keys of path values that may continue over later fragments, with the status URL key.
enum class PathValue { None, Source, Target };
const struct {
    const char* key;
    PathValue value;
} kPathKeys[] = {{"source=", PathValue::Source},
                 {"pisrc=", PathValue::Source},
                 {"target=", PathValue::Target},
                 {"pidst=", PathValue::Target}};

bool containsBlind(const QString& text, const char* key)
{
    return text.contains(QLatin1String(key), Qt::CaseInsensitive);
}

bool isDroppedKey(const QString& fragment)
{
    for (const char* key : kDroppedKeys)
        if (fragment.contains(QLatin1String(key)))
            return true;
    return false;
}

// The leading decimal number of `text` ("12ab" gives 12, "x" gives 0), as atoi reads it.
int leadingNumber(const QString& text)
{
    return atoi(text.toLatin1().constData());
}

void applyCountdown(const QString& fragment, JobRequest& job)
{
    job.hasCountdown = true;
    job.countdown = leadingNumber(fragment.mid(11)) - 1;
    if (job.countdown == 0)
        job.jobCopy.remove(fragment);
    else
        job.jobCopy.replace(fragment, "cwstimeout=" + QString::number(job.countdown));
}

} // namespace

int elementCodeOfType(const QString& fragment, Qt::CaseSensitivity cs)
{
    for (const char* word : kTypeWords)
        if (fragment.contains(QLatin1String("=") + QLatin1String(word), cs))
            return static_cast<int>(dbCwsFindElementByWord(word)->code);
    return 0;
}

JobRequest parseJobString(const QString& job)
{
    JobRequest request;
    request.jobCopy = job;
    const int mark = job.indexOf(kQueryMark);
    request.statusUrl = (mark < 0 ? job : job.left(mark)) + QString::fromLatin1(kVexoStatusQuery);
    if (mark < 0)
        return request;

    QString* continued = nullptr;
    for (const QString& fragment : job.mid(mark + kQueryMark.size()).split('&')) {
        if (containsBlind(fragment, "profile=")) {
            request.statusUrl += "&" + fragment;
            request.profile = fragment.mid(8);
            continued = nullptr;
            continue;
        }
        if (containsBlind(fragment, "client=") || containsBlind(fragment, "command=")) {
            request.statusUrl += "&" + fragment;
            continued = nullptr;
            continue;
        }
        bool isPath = false;
        for (const auto& path : kPathKeys) {
            if (!containsBlind(fragment, path.key))
                continue;
            const bool source = path.value == PathValue::Source;
            QString& value = source ? request.source : request.target;
            value = fragment.mid(static_cast<int>(strlen(path.key)));
            request.statusUrl += (source ? "&source=" : "&target=") + value;
            continued = &value;
            isPath = true;
            break;
        }
        if (isPath)
            continue;
        if (fragment.contains("type=")) {
            if (const int code = elementCodeOfType(fragment))
                request.elementCode = code;
            continued = nullptr;
        } else if (fragment.contains("cwstimeout=")) {
            applyCountdown(fragment, request);
            continued = nullptr;
        } else if (isDroppedKey(fragment)) {
            continued = nullptr;
        } else if (continued) {
            request.statusUrl += "&" + fragment;
            *continued += "&" + fragment;
        }
    }
    request.source.truncate(kRequestValueCapacity);
    request.target.truncate(kRequestValueCapacity);
    request.profile.truncate(kRequestValueCapacity);
    request.statusUrl.truncate(kStatusUrlCapacity);
    return request;
}
