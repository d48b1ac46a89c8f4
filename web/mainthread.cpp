// Queued calls to the main thread that give up once the dashboard closes (see mainthread.h).
#include "web/mainthread.h"

#include <chrono>
#include <future>
#include <memory>

namespace web
{

bool MainThreadCalls::run(const std::function<void()>& work)
{
    // A blocking queued call would wait for ever once the main thread is joining this thread.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    QMetaObject::invokeMethod(
        &context_,
        [this, work, done] {
            if (!closed_)
                work();
            done->set_value();
        },
        Qt::QueuedConnection);
    while (finished.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
        if (closed_)
            return false;
    return !closed_;
}

} // namespace web
