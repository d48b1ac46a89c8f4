// JSON documents of the dashboard (see json.h).
#include "web/json.h"

#include "db/elements.h"

#include <QJsonDocument>

namespace web
{

namespace
{

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}

QJsonObject clipHead(int instance, const ClipRecord& clip)
{
    return {{"instance", instance},
            {"id", clip.id},
            {"name", text(clip.name)},
            {"path", text(clip.anchorPath)}};
}

} // namespace

QJsonObject instanceJson(const InstanceView& view)
{
    QJsonObject counts;
    for (const auto& [name, value] : view.figures)
        counts.insert(name, value);
    // The rate and the time left only while the instance knows them: never guessed.
    QJsonObject progress{{"done", view.progress.done}, {"total", view.progress.total}};
    if (view.progress.rate > 0)
        progress.insert("rate", view.progress.rate);
    if (view.progress.secondsLeft >= 0)
        progress.insert("secondsLeft", view.progress.secondsLeft);
    return {{"number", view.number},
            {"scanFolder", text(view.scanFolder)},
            {"database", text(view.database)},
            {"state", view.state},
            {"stateName", text(view.stateName)},
            {"operation", view.operation},
            {"counts", counts},
            {"progress", progress},
            {"jobsInFlight", view.jobsInFlight},
            {"serviceAvailable", view.serviceAvailable}};
}

void appendFailures(QJsonArray& out, int instance, const std::vector<ClipRecord>& clips)
{
    for (const ClipRecord& clip : clips)
        for (const ElementRecord& r : clip.elements) {
            QJsonObject failure = clipHead(instance, clip);
            failure.insert("element", text(r.element->word));
            failure.insert("error", text(r.error));
            if (r.failedAt >= 0)
                failure.insert("time", r.failedAt);
            out.append(failure);
        }
}

QJsonObject clipJson(int instance, const ClipRecord& clip)
{
    QJsonArray elements;
    for (const ElementRecord& r : clip.elements)
        elements.append(QJsonObject{{"element", text(r.element->word)},
                                    {"state", r.state},
                                    {"text", text(r.text)},
                                    {"path", text(r.path)},
                                    {"error", text(r.error)},
                                    {"failed", r.failed()}});
    QJsonObject object = clipHead(instance, clip);
    object.insert("complete", clip.complete);
    object.insert("elements", elements);
    return object;
}

std::string jsonText(const QJsonArray& array)
{
    return QJsonDocument(array).toJson(QJsonDocument::Compact).toStdString();
}

std::string jsonText(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace web
