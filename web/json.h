// The dashboard's JSON documents: instances, failures and clips, as /api/ serves them.
#pragma once

#include "web/queries.h"
#include "web/snapshot.h"

#include <QJsonArray>
#include <QJsonObject>

namespace web
{

// {"number", "scanFolder", "database", "state", "stateName", "operation", "counts": {the
// getscanstatus figures}, "jobsInFlight", "serviceAvailable"}.
QJsonObject instanceJson(const InstanceView& view);

// {"instance", "id", "name", "path", "element", "error"}, one per failed element of `clips`.
void appendFailures(QJsonArray& out, int instance, const std::vector<ClipRecord>& clips);

// {"instance", "id", "name", "path", "complete", "elements": [{"element", "state", "text",
// "path", "error", "failed"}]}.
QJsonObject clipJson(int instance, const ClipRecord& clip);

// The document as compact UTF-8 text.
std::string jsonText(const QJsonArray& array);
std::string jsonText(const QJsonObject& object);

} // namespace web
