// Fixture of the scanner and monitor unit tests: instance 0 over a fresh SQLite database, the
// service answered in-process through the HTTP transport.
#pragma once

#include "db/dbcws.h"
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

// Creates instance 0 from the settings store and opens its database; false when it has none.
bool openInstance(std::unique_ptr<CQZClipwatch>& instance, std::shared_ptr<dbCwsHandle>& db);
// State of element `code` of a clip, -1 for an unknown clip; also an output's path and error.
int elementState(dbCwsHandle* db, const std::string& anchor, unsigned code,
                 std::string* path = nullptr, std::string* error = nullptr);

class InstanceTest : public ::testing::Test
{
protected:
    using Handler = std::function<std::optional<std::string>(const std::string& url)>;

    void SetUp() override;
    void TearDown() override;

    // Creates instance 0 with `keys` in its settings group on a new SQLite file and opens it.
    virtual void makeInstance(const std::map<QString, QVariant>& keys = {});
    // Adds a clip with Complete 0 and returns its anchor path.
    std::string addClip(const std::string& anchor);
    int elementState(const std::string& anchor, unsigned code, std::string* path = nullptr,
                     std::string* error = nullptr)
    {
        return ::elementState(db.get(), anchor, code, path, error);
    }
    int clipState(const std::string& anchor) { return elementState(anchor, CWS_ELEMENT_CLIP); }
    std::string md5Text(const std::string& anchor);

    // Every request but the (answered) address request goes to `handler` (none: no reply).
    void serve(Handler handler);
    // The same `reply` to every request; none: the service does not answer at all.
    void answer(std::optional<std::string> reply);
    // URLs sent so far, address requests left out.
    std::vector<std::string> sent();

    std::unique_ptr<CQZClipwatch> instance;
    std::shared_ptr<dbCwsHandle> db;
    QString folder;

private:
    std::mutex mutex;
    Handler handler;
    bool silent = false; // the address request is not answered either
    std::vector<std::string> urls;
};
