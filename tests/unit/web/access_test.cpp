// The dashboard's access rules: token, Host and Origin, on loopback and off it.
#include "web/access.h"

#include <gtest/gtest.h>

namespace
{

const std::string kToken = "0123456789abcdef0123456789abcdef";
const std::string kBearer = "Bearer " + kToken;
const std::string kHost = "127.0.0.1:6280";

struct Case {
    const char* what;
    bool loopback;
    web::RequestFacts request;
    int verdict;
};

TEST(DashboardAccess, JudgesTokenHostAndOrigin)
{
    const Case cases[] = {
        {"a read on loopback", true, {"GET", "/api/instances", kHost, "", ""}, 0},
        {"the page on loopback", true, {"GET", "/", "localhost:6280", "", ""}, 0},
        {"a read through a rebound name",
         true,
         {"GET", "/api/instances", "evil.example:6280", "", ""},
         403},
        {"an action without token", true, {"POST", "/api/instances/0/pause", kHost, "", ""}, 401},
        {"an action with a wrong token",
         true,
         {"POST", "/api/instances/0/pause", kHost, "", "Bearer " + std::string(32, '0')},
         401},
        {"an action with the token as another scheme",
         true,
         {"POST", "/api/instances/0/pause", kHost, "", "Basic " + kToken},
         401},
        {"an action with the token",
         true,
         {"POST", "/api/instances/0/pause", kHost, "", kBearer},
         0},
        {"an action from the own page",
         true,
         {"POST", "/api/instances/0/pause", kHost, "http://" + kHost, kBearer},
         0},
        {"an action from a foreign page",
         true,
         {"POST", "/api/instances/0/pause", kHost, "http://evil.example", kBearer},
         403},
        {"an action from another port",
         true,
         {"POST", "/api/instances/0/pause", kHost, "http://127.0.0.1:8080", kBearer},
         403},
        {"off loopback, the page", false, {"GET", "/dashboard.js", "10.0.0.5:6280", "", ""}, 0},
        {"off loopback, a read without token",
         false,
         {"GET", "/metrics", "10.0.0.5:6280", "", ""},
         401},
        {"off loopback, a read with the token",
         false,
         {"GET", "/api/failures", "10.0.0.5:6280", "", kBearer},
         0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(web::judgeRequest({kToken, c.loopback}, c.request), c.verdict) << c.what;
}

TEST(DashboardAccess, NoTokenOpensNothing)
{
    EXPECT_EQ(
        web::judgeRequest({"", true}, {"POST", "/api/instances/0/stop", kHost, "", "Bearer "}),
        401);
}

TEST(DashboardAccess, MadeTokensAreFreshHex)
{
    const std::string a = web::makeToken();
    EXPECT_EQ(a.size(), 32u);
    EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos) << a;
    EXPECT_NE(a, web::makeToken());
}

} // namespace
