// The dashboard's routes (see routes.h). Actions run as the command protocol's words through
// Program::RunCommand on the main thread, so each is the very operation the protocol performs.
#include "web/routes.h"

#include "control/program.h"
#include "db/elements.h"
#include "web/json.h"
#include "web/mainthread.h"
#include "web/metrics.h"
#include "web/queries.h"
#include "web/snapshot.h"

#include <QFile>

#include <httplib.h>

#include <algorithm>
#include <functional>
#include <optional>

namespace web
{

namespace
{

constexpr int kFailureLimit = 100;
constexpr int kClipLimit = 20;

const char kJson[] = "application/json";

// The page's files: path, resource and content type.
struct Asset {
    const char* path;
    const char* resource;
    const char* type;
};
const Asset kAssets[] = {
    {"/", ":/web/index.html", "text/html; charset=utf-8"},
    {"/dashboard.css", ":/web/dashboard.css", "text/css; charset=utf-8"},
    {"/dashboard.js", ":/web/dashboard.js", "text/javascript; charset=utf-8"},
};

// The instance actions: the path word and the protocol word it runs.
struct Action {
    const char* path;
    const char* word;
};
const Action kActions[] = {
    {"start", "start"},
    {"pause", "pause"},
    {"stop", "stop"},
    {"rescan", "restart"},
    {"clearerrors", "clearerrors"},
};

std::string resourceText(const char* name)
{
    QFile file(name);
    file.open(QIODevice::ReadOnly);
    return file.readAll().toStdString();
}

void answer(httplib::Response& response, int status, const std::string& message)
{
    response.status = status;
    response.set_content(jsonText(QJsonObject{{"error", QString::fromStdString(message)}}), kJson);
}

// The views on the main thread; nothing once the dashboard is closing (503 answered).
std::optional<std::vector<InstanceView>> snapshot(Program& program, MainThreadCalls& calls,
                                                  httplib::Response& response)
{
    std::vector<InstanceView> views;
    if (!calls.run([&] { views = takeSnapshot(program); })) {
        answer(response, 503, "closing");
        return std::nullopt;
    }
    return views;
}

// The instance named by the optional parameter "instance" (all when absent); false, with 400
// answered, for a value that is not a number.
bool instanceFilter(const httplib::Request& request, httplib::Response& response, int& number)
{
    number = -1;
    if (!request.has_param("instance") || request.get_param_value("instance").empty())
        return true;
    const std::string value = request.get_param_value("instance");
    if (value.find_first_not_of("0123456789") != std::string::npos || value.size() > 6) {
        answer(response, 400, "instance must be a number");
        return false;
    }
    number = std::stoi(value);
    return true;
}

// Answers with the JSON array that `add` fills from each instance the optional parameter
// "instance" names (every instance when it is absent).
void listOverInstances(Program& program, MainThreadCalls& calls, const httplib::Request& request,
                       httplib::Response& response,
                       const std::function<void(QJsonArray&, const InstanceView&)>& add)
{
    int number = -1;
    if (!instanceFilter(request, response, number))
        return;
    const auto views = snapshot(program, calls, response);
    if (!views)
        return;
    QJsonArray list;
    for (const InstanceView& v : *views)
        if (number < 0 || v.number == number)
            add(list, v);
    response.set_content(jsonText(list), kJson);
}

// Runs `request` through the interpreter on the main thread and answers with its reply.
void runCommand(Program& program, MainThreadCalls& calls, const std::string& request,
                httplib::Response& response)
{
    std::optional<std::string> reply;
    int result = 0;
    if (!calls.run([&] { result = program.RunCommand(request.c_str(), reply); })) {
        answer(response, 503, "closing");
        return;
    }
    const QString replyText = QString::fromStdString(reply.value_or(std::string()));
    response.status = replyText.startsWith("error=") ? 409 : 200;
    response.set_content(jsonText(QJsonObject{{"request", QString::fromStdString(request)},
                                              {"reply", replyText},
                                              {"result", result}}),
                         kJson);
}

// The instance of the action's path, if it exists (404 answered otherwise).
const InstanceView* actionInstance(const std::vector<InstanceView>& views, const std::string& text,
                                   httplib::Response& response)
{
    const int number = text.size() > 6 ? -1 : std::stoi(text);
    for (const InstanceView& v : views)
        if (v.number == number)
            return &v;
    answer(response, 404, "no such instance");
    return nullptr;
}

void installReads(httplib::Server& server, Program& program, MainThreadCalls& calls)
{
    for (const Asset& asset : kAssets) {
        const std::string body = resourceText(asset.resource);
        const std::string type = asset.type;
        server.Get(asset.path, [body, type](const httplib::Request&, httplib::Response& response) {
            response.set_content(body, type);
        });
    }
    server.Get("/api/instances", [&](const httplib::Request&, httplib::Response& response) {
        const auto views = snapshot(program, calls, response);
        if (!views)
            return;
        QJsonArray list;
        for (const InstanceView& v : *views)
            list.append(instanceJson(v));
        response.set_content(jsonText(list), kJson);
    });
    server.Get("/api/elements", [](const httplib::Request&, httplib::Response& response) {
        QJsonArray words;
        for (const dbCwsElement* e : listedElements())
            words.append(QString::fromStdString(e->word));
        response.set_content(jsonText(words), kJson);
    });
    server.Get("/metrics", [&](const httplib::Request&, httplib::Response& response) {
        if (const auto views = snapshot(program, calls, response))
            response.set_content(metricsText(*views), "text/plain; version=0.0.4; charset=utf-8");
    });
    server.Get("/api/failures", [&](const httplib::Request& request, httplib::Response& response) {
        const std::string word = request.get_param_value("element");
        const dbCwsElement* only = word.empty() ? nullptr : dbCwsFindElementByWord(word);
        if (!word.empty() && !only)
            return answer(response, 400, "unknown element");
        listOverInstances(
            program, calls, request, response, [&](QJsonArray& list, const InstanceView& v) {
                appendFailures(list, v.number, latestFailures(v.db.get(), only, kFailureLimit));
            });
    });
    server.Get("/api/clip", [&](const httplib::Request& request, httplib::Response& response) {
        const std::string words = request.get_param_value("q");
        if (words.empty())
            return answer(response, 400, "q is needed");
        listOverInstances(
            program, calls, request, response, [&](QJsonArray& list, const InstanceView& v) {
                for (const ClipRecord& clip : findClips(v.db.get(), words, kClipLimit))
                    list.append(clipJson(v.number, clip));
            });
    });
}

// True when `path` can stand in a protocol request: the interpreter splits requests at "&" and
// looks for these words anywhere in them.
bool nameableInRequest(const std::string& path)
{
    for (const char* word : {"&", "newscandir=", "getfirstscandir", "getscandir"})
        if (path.find(word) != std::string::npos)
            return false;
    return true;
}

// Retry of a failed element: the protocol's "retryprocess=<element>&clippath=<anchor>" with the
// anchor read from the instance's database, never taken from the request.
void retry(Program& program, MainThreadCalls& calls, const httplib::Request& request,
           httplib::Response& response)
{
    const auto views = snapshot(program, calls, response);
    if (!views)
        return;
    const InstanceView* view = actionInstance(*views, request.matches[1], response);
    if (!view)
        return;
    const dbCwsElement* element = dbCwsFindElementByWord(request.get_param_value("element"));
    if (!element || !element->noun)
        return answer(response, 400, "element must name a job element");
    const std::string id = request.matches[2];
    const auto clip = id.size() > 9 ? std::nullopt : clipById(view->db.get(), std::stoi(id));
    if (!clip)
        return answer(response, 404, "no such clip");
    const auto& elements = clip->elements;
    if (std::none_of(elements.begin(), elements.end(), [element](const ElementRecord& r) {
            return r.element == element && r.failed();
        }))
        return answer(response, 409, "the element has not failed");
    if (!nameableInRequest(clip->anchorPath))
        return answer(response, 422, "the clip's path cannot be named in a protocol request");
    runCommand(program, calls,
               "scandir=" + std::to_string(view->number) + "&retryprocess=" + element->word +
                   "&clippath=" + clip->anchorPath,
               response);
}

void installActions(httplib::Server& server, Program& program, MainThreadCalls& calls)
{
    for (const Action& action : kActions) {
        const std::string word = action.word;
        server.Post(
            std::string(R"(/api/instances/(\d+)/)") + action.path,
            [&program, &calls, word](const httplib::Request& request, httplib::Response& response) {
                const auto views = snapshot(program, calls, response);
                if (!views)
                    return;
                if (const InstanceView* v = actionInstance(*views, request.matches[1], response))
                    runCommand(program, calls, "scandir=" + std::to_string(v->number) + "&" + word,
                               response);
            });
    }
    server.Post(R"(/api/instances/(\d+)/clips/(\d+)/retry)",
                [&](const httplib::Request& request, httplib::Response& response) {
                    retry(program, calls, request, response);
                });
}

} // namespace

void installRoutes(httplib::Server& server, Program& program, MainThreadCalls& calls,
                   const AccessRules& rules)
{
    server.set_pre_routing_handler([rules](const httplib::Request& request,
                                           httplib::Response& response) {
        const int verdict = judgeRequest(
            rules, {request.method, request.path, request.get_header_value("Host"),
                    request.get_header_value("Origin"), request.get_header_value("Authorization")});
        if (verdict == 0)
            return httplib::Server::HandlerResponse::Unhandled;
        answer(response, verdict, verdict == 401 ? "the dashboard token is needed" : "refused");
        return httplib::Server::HandlerResponse::Handled;
    });
    server.set_post_routing_handler([](const httplib::Request&, httplib::Response& response) {
        response.set_header("Content-Security-Policy",
                            "default-src 'self'; frame-ancestors 'none'; form-action 'none'");
        response.set_header("X-Content-Type-Options", "nosniff");
        response.set_header("Cache-Control", "no-store");
    });
    installReads(server, program, calls);
    installActions(server, program, calls);
}

} // namespace web
