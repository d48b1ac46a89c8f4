// The monitor's reading of one job string: the request values it names and the status URL that
// asks the service about it. A job string is the request URL with which a job was started,
// followed by "&type=" and the element word, as the job list holds it.
#pragma once

#include <QString>

// What one job string gives the monitor for one poll.
struct JobRequest {
    QString statusUrl;   // the service address part, "vexojson?request=get&group=any", fragments
    QString source;      // request source ("source=" or "pisrc=" value, rejoined over "&")
    QString target;      // request target ("target=" or "pidst=" value, rejoined over "&")
    QString profile;     // request profile
    int elementCode = 0; // element of the "type=" fragment
    int countdown = -1;  // lowered "cwstimeout=" number; -1 without one
    bool hasCountdown = false; // the job string has a "cwstimeout=" fragment
    QString jobCopy;           // the job string with its countdown lowered, or removed at 0
};

// Capacities of the poll values, in characters: longer values are cut.
constexpr int kRequestValueCapacity = 4095;
constexpr int kStatusUrlCapacity = 8191;

// Reads `job` fragment by fragment. A job string without "vexojson?" gives a status URL of the
// whole text followed by the status query and no values.
JobRequest parseJobString(const QString& job);

// The element code named by a "type=" fragment (first match of "=proxy", "=mezzanine",
// "=picon", "=xmp", "=rtin", "=md5", "=wrap"), or 0.
int elementCodeOfType(const QString& fragment, Qt::CaseSensitivity cs = Qt::CaseSensitive);
