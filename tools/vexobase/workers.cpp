// The worker pool.
#include "tools/vexobase/workers.h"

namespace vexobase
{

Workers::Workers(int count, JobTable& table, Runner& runner) : table_(table)
{
    for (int i = 0; i < count; ++i)
        threads_.emplace_back([&table, &runner] {
            while (const std::optional<JobTicket> ticket = table.takeNext())
                runner.run(*ticket);
        });
}

Workers::~Workers()
{
    table_.shutdown();
    for (std::thread& thread : threads_)
        thread.join();
}

} // namespace vexobase
