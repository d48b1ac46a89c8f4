// MainThreadCalls: how the dashboard's server threads have work done on the main thread, where
// the instance registry and the command interpreter live. Made, closed and destroyed on the main
// thread; run() is called from the server threads.
#pragma once

#include <QObject>

#include <atomic>
#include <functional>

namespace web
{

class MainThreadCalls
{
public:
    // Runs `work` on the main thread and waits for it; false, with `work` not run, once the
    // calls are closed. `work` may use the caller's locals: after close() the main thread runs
    // no more of them, and destroying this object discards those still queued.
    bool run(const std::function<void()>& work);

    // Releases every waiting run() (main thread, before the server threads are joined).
    void close() { closed_ = true; }

private:
    QObject context_; // lives on the main thread; queued calls run in its thread
    std::atomic<bool> closed_{false};
};

} // namespace web
