// Test fixture of the scanner unit tests: an instance over a fresh SQLite database in the test
// folder, with the service answered in-process through the HTTP transport seam.
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
#include <string>
#include <vector>

class InstanceTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes settings keys of instance 0 (before makeInstance).
    void setKeys(const std::map<QString, QVariant>& values);
    // Creates instance 0 on a new SQLite file and opens it.
    void makeInstance();
    // Adds a clip with Complete 0 and returns its anchor path.
    std::string addClip(const std::string& anchor);
    // State and path column of element `code` of `anchor`; error text into `error`.
    int elementState(const std::string& anchor, unsigned code, std::string* path = nullptr,
                     std::string* error = nullptr);
    std::string md5Text(const std::string& anchor);
    int clipState(const std::string& anchor);

    // Service answers: `reply` for every request (none: the service does not answer).
    void answer(std::optional<std::string> reply);
    // URLs sent so far, address requests left out.
    std::vector<std::string> sentJobs();

    std::unique_ptr<CQZClipwatch> instance;
    std::shared_ptr<dbCwsHandle> db;
    QString folder;

private:
    std::mutex mutex;
    std::optional<std::string> reply;
    std::vector<std::string> sent;
};
