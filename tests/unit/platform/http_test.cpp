// The HTTP client against a real HTTP server on 127.0.0.1.
#include "platform/qzhttp.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace
{

// A reply of qzOSHTTPCommand, released with QZFree.
struct Reply {
    char* text = nullptr;
    size_t length = 0;
    int result = 0;
    ~Reply() { QZFree(text); }
};

// An HTTP server on a free port of 127.0.0.1, on its own thread for one test, noting what the
// requests carried.
class Http : public ::testing::Test
{
protected:
    void SetUp() override
    {
        server.set_keep_alive_timeout(1);
        server.Get("/big", [this](const httplib::Request& req, httplib::Response& res) {
            header = req.get_header_value("Content-Type");
            res.set_content(big, "text/plain");
        });
        server.Get("/fail", [](const httplib::Request&, httplib::Response& res) {
            res.status = 500;
            res.set_content("{\"result\":\"-1\"}", "application/json");
        });
        server.Get("/empty", [](const httplib::Request&, httplib::Response&) {});
        server.Get("/who", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(mutex);
            portsByThread[req.get_param_value("thread")].insert(req.remote_port);
            res.set_content(req.get_param_value("n"), "text/plain");
        });
        server.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            seenPath = req.path;
            seen = req.params;
            res.set_content("success", "text/plain");
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    void TearDown() override
    {
        server.stop();
        thread.join();
    }
    void get(const std::string& pathAndQuery, Reply& reply)
    {
        const std::string url = "http://127.0.0.1:" + std::to_string(port) + pathAndQuery;
        reply.result = qzOSHTTPCommand(url.c_str(), "GET", "Content-Type:application/xml", nullptr,
                                       0, &reply.text, &reply.length, 2000);
    }

    httplib::Server server;
    int port = 0;
    std::thread thread;
    std::string big, header, seenPath;
    httplib::Params seen;
    std::mutex mutex;
    std::map<std::string, std::set<int>> portsByThread;
};

TEST_F(Http, RepliesArriveWholeWithTheirStatusIgnoredAndRequestsAsTheCallerWroteThem)
{
    big.resize(600 * 1024);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>('a' + i % 26);
    Reply whole, failed, empty, awkward;
    get("/big", whole);
    ASSERT_EQ(whole.result, 0);
    ASSERT_NE(whole.text, nullptr);
    EXPECT_EQ(whole.length, big.size());
    EXPECT_EQ(std::string(whole.text), big) << "NUL-terminated and complete";
    EXPECT_EQ(header, "application/xml");
    get("/fail", failed);
    ASSERT_NE(failed.text, nullptr) << "the host answered, whatever its status";
    EXPECT_STREQ(failed.text, "{\"result\":\"-1\"}");
    get("/empty", empty);
    EXPECT_EQ(empty.result, 0);
    EXPECT_STREQ(empty.text, "") << "an empty reply is an empty text, not none";

    const std::string source = "/m/a b\"c%41d#e<f>g\\h^i`j{k|l}m+n\xC3\xBC\t\x01\x7f.mov";
    const std::string path = "/dir with space/100%/\xC3\xBC\"q/vexojson";
    get(path + "?request=set&source=" + source + "&x=what?&target=t:/u", awkward);
    ASSERT_NE(awkward.text, nullptr);
    EXPECT_EQ(seenPath, path);
    const httplib::Params expected = {
        {"request", "set"}, {"source", source}, {"x", "what?"}, {"target", "t:/u"}};
    EXPECT_EQ(seen, expected);
}

TEST_F(Http, EachThreadReusesOneConnection)
{
    std::vector<std::thread> clients;
    std::atomic<int> wrongReplies{0};
    for (int t = 0; t < 3; ++t)
        clients.emplace_back([&, t] {
            for (int n = 0; n < 4; ++n) {
                Reply reply;
                get("/who?thread=" + std::to_string(t) + "&n=" + std::to_string(n), reply);
                wrongReplies += !reply.text || std::to_string(n) != reply.text;
            }
        });
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(wrongReplies, 0);
    ASSERT_EQ(portsByThread.size(), 3u);
    std::set<int> allPorts;
    for (const auto& [thread, ports] : portsByThread) {
        EXPECT_EQ(ports.size(), 1u) << "thread " << thread << " opened a second connection";
        allPorts.insert(ports.begin(), ports.end());
    }
    EXPECT_EQ(allPorts.size(), 3u) << "threads do not share a handle";
}

} // namespace
