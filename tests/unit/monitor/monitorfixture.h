// Test fixture of the monitor unit tests: an instance over a fresh SQLite database, the service
// answered in-process through the HTTP transport seam, and a job monitor that is never started
// so that each test drives its polls on its own thread.
#pragma once

#include "db/dbcws.h"
#include "monitor/checkthread.h"
#include "platform/qzhttp.h"
#include "scanner/clipwatch.h"

#include <gtest/gtest.h>

#include <QVariant>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class MonitorTest : public ::testing::Test
{
protected:
    using Handler = std::function<std::optional<std::string>(const std::string& url)>;

    void SetUp() override;
    void TearDown() override;

    // Creates instance 0 with `keys` in its settings group on a new SQLite file.
    void makeInstance(const std::map<QString, QVariant>& keys = {});
    // Adds a clip with Complete 0.
    void addClip(const std::string& anchor);
    // State of element `code` (output elements also give path and error).
    int elementState(const std::string& anchor, unsigned code, std::string* path = nullptr,
                     std::string* error = nullptr);
    std::string md5Text(const std::string& anchor);
    int clipState(const std::string& anchor);

    // Every request but the address request goes to `handler` (none: no reply).
    void serve(Handler handler);
    // URLs sent so far, address requests left out.
    std::vector<std::string> sent();

    std::unique_ptr<CQZClipwatch> instance;
    std::shared_ptr<dbCwsHandle> db;
    QString folder;
    QCheckThread monitor; // never started: the tests call PollJob

private:
    std::mutex mutex;
    Handler handler;
    std::vector<std::string> urls;
};

// A status reply in the service's shape.
std::string statusReply(const std::string& source, const std::string& target,
                        const std::string& profile, int progress, int result = 0,
                        const std::string& resultString = "");
