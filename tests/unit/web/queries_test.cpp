// The dashboard's clip reads on both kinds of database.
#include "tests/unit/db/dbfixture.h"
#include "web/queries.h"

#include <gtest/gtest.h>

#include <ctime>

namespace
{

class DashboardQueries : public DbTest
{
protected:
    // "name:element,element" of each clip.
    static std::vector<std::string> summary(const std::vector<web::ClipRecord>& clips)
    {
        std::vector<std::string> out;
        for (const web::ClipRecord& clip : clips) {
            std::string line = clip.anchorPath + ":";
            for (const web::ElementRecord& r : clip.elements)
                line += r.element->word + ",";
            out.push_back(line);
        }
        return out;
    }
};

TEST_P(DashboardQueries, FailuresListOnlyFailedElementsNewestFirst)
{
    clip("/m/old.mov", "PiconValue=4, PiconError='no frame', ProxyValue=1, Complete=4");
    clip("/m/fine.mov", "PiconValue=1, ProxyValue=2, Complete=1");
    clip("/m/new.mov", "ProxyValue=5, ProxyError='No Response', Element3State=4, Complete=4");
    EXPECT_EQ(summary(web::latestFailures(handle, nullptr, 10)),
              (std::vector<std::string>{"/m/new.mov:proxy,element3,", "/m/old.mov:picon,"}));
    EXPECT_EQ(summary(web::latestFailures(handle, nullptr, 1)),
              (std::vector<std::string>{"/m/new.mov:proxy,element3,"}));

    // A failure written through the database layer keeps its time and comes first.
    const long long before = time(nullptr);
    dbCWSSetElementStatus(handle, -1, "/m/old.mov", CWS_ELEMENT_PICON, nullptr, nullptr, QZ_ERROR,
                          "no frame again");
    const auto latest = web::latestFailures(handle, nullptr, 10);
    ASSERT_EQ(summary(latest),
              (std::vector<std::string>{"/m/old.mov:picon,", "/m/new.mov:proxy,element3,"}));
    EXPECT_GE(latest[0].elements[0].failedAt, before);
    EXPECT_EQ(latest[1].elements[0].failedAt, -1) << "failed before times were kept";
}

TEST_P(DashboardQueries, SearchTakesItsWordsLiterally)
{
    for (const char* anchor :
         {"/m/100% done.mov", "/m/1000 done.mov", "/m/a_b.mov", "/m/axb.mov", "/m/it's.mov"})
        dbCWSAddClip(handle, "c", anchor, "/m/");
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"100%", {"/m/100% done.mov:"}},
        {"a_b", {"/m/a_b.mov:"}},
        {"DONE", {"/m/100% done.mov:", "/m/1000 done.mov:"}},
        {"it's", {"/m/it's.mov:"}},
        {"' OR '1'='1", {}},
    };
    for (const auto& [words, expected] : cases)
        EXPECT_EQ(summary(web::findClips(handle, words, 10)), expected) << words;
    EXPECT_EQ(web::findClips(handle, "m", 2).size(), 2u);
}

CLIPWATCH_BOTH_BACKENDS(DashboardQueries);

} // namespace
