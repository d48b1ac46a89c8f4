// The dashboard's access rules: token, Host and Origin, on loopback and off it.
#include "web/access.h"

#include <gtest/gtest.h>

namespace
{

const std::string kToken = "0123456789abcdef0123456789abcdef";
const std::string kBearer = "Bearer " + kToken;
const std::string kHost = "127.0.0.1:6280";

web::RequestFacts read(const std::string& path, const std::string& host,
                       const std::string& authorization = "")
{
    return {"GET", path, host, "", authorization};
}

TEST(DashboardAccess, JudgesTokenHostAndOrigin)
{
    const struct {
        const char* what;
        bool loopback;
        web::RequestFacts request;
        int verdict;
    } cases[] = {
        // Actions refused for their token or their page: the dashboard API integration test;
        // reads on 127.0.0.x: the farm test's dashboards.
        {"a read on loopback", true, read("/api/instances", "localhost:6280"), 0},
        {"a read through a rebound name", true, read("/api/instances", "evil.example:6280"), 403},
        {"a name dressed as one", true, read("/metrics", "127.0.0.3.evil.example:6280"), 403},
        {"an action with the token",
         true,
         {"POST", "/api/instances/0/pause", kHost, "", kBearer},
         0},
        {"off loopback, the page", false, read("/dashboard.js", "ingest.example:6280"), 0},
        {"off loopback, a read without token", false, read("/metrics", "ingest.example:6280"), 401},
        {"off loopback, a read with the token", false,
         read("/metrics", "ingest.example:6280", kBearer), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(web::judgeRequest({kToken, c.loopback}, c.request), c.verdict) << c.what;
}

} // namespace
