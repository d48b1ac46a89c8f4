// The abort request of Abort All, built from a job string: the job's own fragments sent with
// "request=set&group=any" and "&abort=true", and the element the job makes.
#pragma once

#include <QString>

struct AbortRequest {
    QString url;         // the service address part, the abort query, the job's fragments
    int elementCode = 0; // element of the "type=" fragment (wrap included), 0 without one
};

// Reads `job` fragment by fragment (keys ignoring case): "client=", "target=", "command=",
// "source=" and "profile=" fragments are sent as they are, "pisrc=" and "pidst=" as "source="
// and "target=", "type=" names the element and is not sent, every other fragment is sent.
AbortRequest parseAbortJob(const QString& job);
