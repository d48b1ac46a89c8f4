// HTTP routes: reads each request with the continuation rule of the program's URLs, dispatches
// it to the job table, and answers with the reply shapes of replies.h.
#include "tools/vexobase/routes.h"

#include "tools/vexobase/page.h"
#include "tools/vexobase/query.h"
#include "tools/vexobase/replies.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace vexobase
{

namespace
{

const char* const kJson = "application/json";

std::string rawQuery(const httplib::Request& request)
{
    const size_t mark = request.target.find('?');
    return mark == std::string::npos ? std::string() : request.target.substr(mark + 1);
}

JobKey keyOf(const Query& query)
{
    return JobKey{query.get("client"), query.get("source", query.get("pisrc")),
                  query.get("target", query.get("pidst")), query.get("profile")};
}

JobOrder orderOf(const Query& query)
{
    JobOrder order;
    order.key = keyOf(query);
    order.width = query.getInt("width", 0);
    order.height = query.getInt("height", 0);
    order.kilobitrate = query.getInt("kilobitrate", 0);
    order.frame = query.get("piframe", "0");
    order.quality = query.getInt("piquality", 90);
    return order;
}

class VexoHandler
{
public:
    explicit VexoHandler(Service& service) : service_(service) {}

    // Answers one request of the program; `status` receives the HTTP status.
    std::string answer(const Query& query, const std::string& address, int& status)
    {
        const std::string request = toLower(query.get("request"));
        const JobKey key = keyOf(query);
        const std::optional<JobView> job =
            key.source.empty() ? std::nullopt : service_.table.find(key);
        holdReply(job ? job->order.fault : faultFromMarker(key.source));

        if (request == "address")
            return addressReply(address);
        if (request == "get" && key.source.empty())
            return probeReply(address, service_.table.size());
        if (request == "get")
            return job ? jobStatus(*job, address) : copyNotFound();
        if (request == "set" && query.flag("purge") && query.flag("complete"))
            return purgedCompleted(service_.table.purgeEnded(query.get("client", "all")));
        if (request == "set" && query.flag("purge"))
            return service_.table.purge(key) ? purged() : copyNotFound();
        if (request == "set" && query.flag("abort")) {
            const std::optional<JobView> before = service_.table.abort(key, query.flag("clear"));
            return before ? aborted(*before) : copyNotFound();
        }
        if (request == "set" && toLower(query.get("command")) == "copy")
            return start(query);
        status = 400;
        std::fprintf(stderr, "vexobase: unknown request\n");
        return badRequest("unknown request");
    }

private:
    void holdReply(Fault fault) const
    {
        const int ms = service_.faults.replyDelayMs(fault);
        if (ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

    std::string start(const Query& query)
    {
        JobOrder order = orderOf(query);
        order.fault = service_.faults.faultForNewJob(order.key.source);
        std::string why =
            order.fault == Fault::Refuse ? "refused: simulated refusal" : refusalOf(order);
        if (!why.empty()) {
            std::fprintf(stderr, "vexobase: %s (%s)\n", why.c_str(), order.key.source.c_str());
            return startRefused(why);
        }
        service_.table.start(order);
        if (service_.options.logJobs) {
            std::printf("job %s %s\n", order.key.profile.c_str(), order.key.source.c_str());
            std::fflush(stdout);
        }
        return startAccepted();
    }

    Service& service_;
};

std::string addressOf(const Service& service, const httplib::Request& request)
{
    const std::string& bind = service.options.bind;
    return bind == "0.0.0.0" || bind == "::" ? request.local_addr : bind;
}

} // namespace

void installRoutes(httplib::Server& server, Service& service)
{
    auto vexo = [&service](const httplib::Request& request, httplib::Response& response) {
        int status = 200;
        const std::string body = VexoHandler(service).answer(Query(rawQuery(request)),
                                                             addressOf(service, request), status);
        response.status = status;
        response.set_content(body, kJson);
    };
    server.Get("/vexojson", vexo);
    server.Get("/vexo", vexo);
    server.Get("/control", [&](const httplib::Request& request, httplib::Response& response) {
        const std::string error = service.faults.apply(Query(rawQuery(request)));
        response.status = error.empty() ? 200 : 400;
        response.set_content(error.empty() ? controlDone() : badRequest(error), kJson);
        if (error.empty() && service.faults.silenceLeftMs() > 0)
            server.stop();
    });
    server.Get("/", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(jobPage(service.table.snapshot(), service.options.simulate),
                             "text/html; charset=utf-8");
    });
}

} // namespace vexobase
