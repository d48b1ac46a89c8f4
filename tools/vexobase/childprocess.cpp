// Child processes: posix_spawn with close-on-exec pipes (so that children of other workers
// never inherit them), a poll loop over stdout and stderr, and SIGKILL on request.
#include "tools/vexobase/childprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace vexobase
{

namespace
{

// Splits text read from a pipe into lines; keeps the unfinished rest.
class LineBuffer
{
public:
    template <typename F> void feed(const char* data, size_t size, F&& onLine)
    {
        pending_.append(data, size);
        size_t start = 0;
        for (size_t end; (end = pending_.find('\n', start)) != std::string::npos; start = end + 1)
            onLine(pending_.substr(start, end - start));
        pending_.erase(0, start);
    }
    template <typename F> void flush(F&& onLine)
    {
        if (!pending_.empty())
            onLine(pending_);
        pending_.clear();
    }

private:
    std::string pending_;
};

struct Pipe {
    int read = -1;
    int write = -1;
    bool open() { return ::pipe2(&read, O_CLOEXEC) == 0; }
    void closeBoth()
    {
        for (int* fd : {&read, &write})
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
    }
};

pid_t spawn(const std::vector<std::string>& argv, Pipe& out, Pipe& err)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write, 1);
    posix_spawn_file_actions_adddup2(&actions, err.write, 2);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int exitCodeOf(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

} // namespace

ChildResult runChild(const std::vector<std::string>& argv,
                     const std::function<void(const std::string&)>& onLine,
                     const std::atomic<bool>& stop)
{
    ChildResult result;
    Pipe out, err;
    if (argv.empty() || !out.open() || !err.open()) {
        out.closeBoth();
        err.closeBoth();
        result.lastError = "cannot create pipes";
        return result;
    }
    const pid_t pid = spawn(argv, out, err);
    ::close(out.write);
    ::close(err.write);
    out.write = err.write = -1;
    if (pid < 0) {
        out.closeBoth();
        err.closeBoth();
        result.lastError = "cannot run " + argv[0];
        return result;
    }
    result.started = true;

    LineBuffer outLines, errLines;
    auto keepError = [&](const std::string& line) {
        if (line.find_first_not_of(" \t\r") != std::string::npos)
            result.lastError = line;
    };
    pollfd fds[2] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}};
    char buffer[4096];
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (stop.load() && !result.killed) {
            ::kill(pid, SIGKILL);
            result.killed = true;
        }
        if (::poll(fds, 2, 100) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                if (i == 0)
                    outLines.feed(buffer, static_cast<size_t>(n), onLine);
                else
                    errLines.feed(buffer, static_cast<size_t>(n), keepError);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            ::close(fds[i].fd);
            fds[i].fd = -1;
        }
    }
    outLines.flush(onLine);
    errLines.flush(keepError);
    out.read = err.read = -1;
    for (const pollfd& fd : fds)
        if (fd.fd >= 0)
            ::close(fd.fd);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = exitCodeOf(status);
    return result;
}

} // namespace vexobase
