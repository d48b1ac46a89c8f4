// vexobase: the reference transcoding service. Listens on 127.0.0.1:1080 unless told otherwise,
// and goes quiet for a while when a control request asks for silence.
#include "tools/vexobase/routes.h"

#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace
{

std::atomic<bool> quitting{false}; // a signal came: leave the listen loop
std::atomic<bool> ended{false};    // the listen loop has been left

// Waits for SIGINT or SIGTERM (blocked in every thread) and stops the server.
void watchSignals(httplib::Server& server, sigset_t signals)
{
    int signal = 0;
    sigwait(&signals, &signal);
    quitting = true;
    while (!ended) { // also catches a server that was between listens
        server.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

// SO_REUSEADDR lets a restarted service take its port at once; without SO_REUSEPORT (the
// library's default) a second service on a taken port fails instead of sharing it.
void exclusiveSocket(socket_t sock)
{
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
}

bool bindServer(httplib::Server& server, const std::string& address, int& port)
{
    if (port != 0)
        return server.bind_to_port(address, port);
    port = server.bind_to_any_port(address);
    return port > 0;
}

} // namespace

int main(int argc, char** argv)
{
    vexobase::Options options;
    const std::string error = vexobase::parseOptions(argc, argv, options);
    if (!error.empty()) {
        std::fputs(error.c_str(), stderr);
        return 2;
    }
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    vexobase::Service service(options);
    httplib::Server server;
    server.set_tcp_nodelay(true); // a reply is written in pieces: no delayed-ACK stalls
    server.set_socket_options(exclusiveSocket);
    // A stop waits for idle kept-alive connections: keep them short so that the service ends
    // within a second of SIGTERM even while a client holds one.
    server.set_keep_alive_timeout(1);
    vexobase::installRoutes(server, service);
    std::thread watcher(watchSignals, std::ref(server), signals);

    int port = options.port;
    if (!bindServer(server, options.bind, port)) {
        std::fprintf(stderr, "vexobase: cannot listen on %s:%d\n", options.bind.c_str(), port);
        std::_Exit(1);
    }
    std::printf("vexobase listening on %s:%d%s\n", options.bind.c_str(), port,
                options.simulate ? " (simulated)" : "");
    std::fflush(stdout);
    for (;;) {
        server.listen_after_bind();
        if (quitting)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(service.faults.silenceLeftMs()));
        while (!quitting && !bindServer(server, options.bind, port))
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (quitting)
            break;
    }
    ended = true;
    watcher.join();
    return 0;
}
