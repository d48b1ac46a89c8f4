// The dashboard's settings, server thread and life (see dashboard.h).
#include "web/dashboard.h"

#include "platform/qzlog.h"
#include "web/access.h"
#include "web/mainthread.h"
#include "web/routes.h"

#include <QHostAddress>
#include <QSettings>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <thread>

// The page's resource lives in this static library: it must be registered by name.
static void registerPage()
{
    Q_INIT_RESOURCE(page);
}

namespace web
{

namespace
{

constexpr int kDefaultPort = 6280;
constexpr int kServerThreads = 4;

struct DashboardSettings {
    std::string address;
    int port = 0;
    std::string token;
};

DashboardSettings readSettings()
{
    QSettings store("Velmora", "Clipwatch");
    DashboardSettings s;
    s.address = store.value("DashboardAddress", "127.0.0.1").toString().toStdString();
    s.port = store.value("DashboardPort", kDefaultPort).toInt();
    s.token = store.value("DashboardToken").toString().toStdString();
    if (s.token.empty()) {
        s.token = makeToken();
        store.setValue("DashboardToken", QString::fromStdString(s.token));
    }
    return s;
}

// Without SO_REUSEPORT (the library's default sets it) a second program on a taken port fails
// to listen instead of sharing the port.
void exclusiveSocket(socket_t sock)
{
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
}

bool isLoopback(const std::string& address)
{
    return address == "localhost" || QHostAddress(QString::fromStdString(address)).isLoopback();
}

} // namespace

struct Dashboard::Server {
    httplib::Server http;
    MainThreadCalls calls;
    std::thread thread;
    std::atomic<bool> ended{false}; // the listen loop has returned
    int port = 0;
};

Dashboard::Dashboard(Program& program)
{
    const DashboardSettings s = readSettings();
    if (s.port <= 0 || s.port > 65535) {
        ErrOut("Dashboard off (DashboardPort %d)\n", s.port);
        return;
    }
    registerPage();
    auto server = std::make_unique<Server>();
    server->http.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
    // Idle keep-alive connections hold a server thread; a short wait lets the stop finish soon.
    server->http.set_keep_alive_timeout(1);
    server->http.set_socket_options(exclusiveSocket);
    installRoutes(server->http, program, server->calls, {s.token, isLoopback(s.address)});
    if (!server->http.bind_to_port(s.address, s.port)) {
        ErrOut("Dashboard cannot listen on %s:%d\n", s.address.c_str(), s.port);
        return;
    }
    server->port = s.port;
    Server* running = server.get();
    server->thread = std::thread([running] {
        running->http.listen_after_bind();
        running->ended = true;
    });
    ErrOut("Dashboard at http://%s:%d/ token %s\n", s.address.c_str(), s.port, s.token.c_str());
    server_ = std::move(server);
}

Dashboard::~Dashboard()
{
    if (!server_)
        return;
    server_->calls.close();
    // A stop that comes before the listen loop has begun is not seen by it: repeat until it ends.
    while (!server_->ended) {
        server_->http.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    server_->thread.join();
}

int Dashboard::Port() const
{
    return server_ ? server_->port : 0;
}

} // namespace web
