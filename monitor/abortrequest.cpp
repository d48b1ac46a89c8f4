// Abort request building from a job string.
#include "monitor/abortrequest.h"

#include "monitor/jobrequest.h"
#include "platform/vexorequests.h"

#include <QStringList>

namespace
{

// Fragments sent unchanged that end a continued value.
const char* const kSentKeys[] = {"client=", "target=", "command=", "source=", "profile="};

// Picon keys (six characters each) and the keys the service reads them by.
const struct {
    const char* key;
    const char* sentAs;
} kPiconKeys[] = {{"pisrc=", "&source="}, {"pidst=", "&target="}};

bool containsBlind(const QString& text, const char* key)
{
    return text.contains(QLatin1String(key), Qt::CaseInsensitive);
}

bool isSentKey(const QString& fragment)
{
    for (const char* key : kSentKeys)
        if (containsBlind(fragment, key))
            return true;
    return false;
}

// The key a "pisrc=" or "pidst=" fragment is sent with, or null for another fragment.
const char* piconKeySentAs(const QString& fragment)
{
    for (const auto& picon : kPiconKeys)
        if (containsBlind(fragment, picon.key))
            return picon.sentAs;
    return nullptr;
}

} // namespace

AbortRequest parseAbortJob(const QString& job)
{
    AbortRequest request;
    const QString mark = QString::fromLatin1(kVexoQueryMark);
    const int at = job.indexOf(mark);
    request.url = (at < 0 ? job : job.left(at)) + QString::fromLatin1(kVexoAbortQuery);
    // A value continued over later fragments needs no joining here: those fragments are sent
    // on after it as they are.
    for (const QString& fragment : at < 0 ? QStringList() : job.mid(at + mark.size()).split('&')) {
        if (isSentKey(fragment)) {
            request.url += "&" + fragment;
        } else if (const char* sentAs = piconKeySentAs(fragment)) {
            request.url += sentAs + fragment.mid(6);
        } else if (containsBlind(fragment, "type=")) {
            request.elementCode = elementCodeOfType(fragment, Qt::CaseInsensitive);
        } else {
            request.url += "&" + fragment;
        }
    }
    request.url += QString::fromLatin1(kVexoAbortEnd);
    return request;
}
