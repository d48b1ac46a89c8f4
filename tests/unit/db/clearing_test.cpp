// Clearing errors and in-progress marks on both backends, including the wrap element.
#include "tests/unit/db/dbfixture.h"

#include <functional>
#include <map>
#include <set>

namespace
{

using Clearing = DbTest;

// What one clearing operation puts back: the states of each column that become 0, the MD5
// texts that become NULL and the directory states that become 0; every other value stays.
struct ClearingCase {
    const char* name;
    std::function<int(dbCwsHandle*)> run;
    std::map<std::string, std::set<int>> clearedStates;
    std::set<std::string> forgottenMD5s; // "*": every text
    std::set<int> directoriesBack = {};
};

const std::set<int> failed = {2, 3, 4, 5, 6, 7};
const std::string noResponse = "MD5 Not Created No Response from VexoBase";

// `states` cleared in each of `columns` (by default the clip's, the output elements' and the
// wrap element's).
std::map<std::string, std::set<int>> each(const std::set<int>& states,
                                          const std::vector<std::string>& columns = {
                                              "Complete", "PiconValue", "XMPValue", "ProxyValue",
                                              "MezzanineValue", "RTINValue", "Element9State"})
{
    std::map<std::string, std::set<int>> cleared;
    for (const std::string& column : columns)
        cleared[column] = states;
    return cleared;
}

template <int State> int clearErrors(dbCwsHandle* handle)
{
    return dbCWSClearErrors(handle, State);
}

const ClearingCase clearingCases[] = {
    {"ClearAllErrors",
     dbCWSClearAllErrors,
     {{"Complete", failed},
      {"PiconValue", failed},
      {"XMPValue", failed},
      {"ProxyValue", failed},
      {"MezzanineValue", failed},
      {"RTINValue", {3, 4, 5, 6, 7}}},
     {noResponse, "lost process", "lost process purged"},
     {2, 4, 5, 7}},
    {"ClearErrors(4)", clearErrors<QZ_ERROR>, each({4}), {noResponse}},
    {"ClearErrors(1)", clearErrors<QZ_FINISHED>, each({1}), {"*"}},
    {"ClearProcesses", dbCWSClearProcesses, each({1, 2, 3, 4, 5, 6, 7}), {"*"}},
    {"ClearRunning(picon, proxy, rtin, md5, element9)",
     [](dbCwsHandle* h) {
         return dbCWSClearRunning(h, true, false, true, false, true, true, true);
     },
     each({2}, {"Complete", "PiconValue", "ProxyValue", "RTINValue", "Element9State"}),
     {noResponse, "Error"}},
};

TEST_P(Clearing, EachClearingChangesExactlyItsStatesAndTexts)
{
    const std::vector<std::string> columns = {"Complete",      "PiconValue",     "XMPValue",
                                              "ProxyValue",    "MezzanineValue", "RTINValue",
                                              "Element0State", "Element9State"};
    const std::vector<std::string> md5s = {
        "abc", "Error", "in progress", "lost process", "lost process purged", noResponse};
    constexpr int kStates = 10; // NULL (-1) and 0 to 8
    auto stateOf = [&](int clip, size_t column) { return (clip + int(column)) % kStates - 1; };
    auto text = [](int state) { return state < 0 ? std::string("NULL") : std::to_string(state); };
    for (const ClearingCase& clearing : clearingCases) {
        SCOPED_TRACE(clearing.name);
        ASSERT_TRUE(exec("DELETE FROM Clips") && exec("DELETE FROM Directories"));
        // Every column meets every state, each clip with a different state per column; the MD5
        // clips have states that nothing clears, so only their text can change.
        for (int i = 0; i < kStates; ++i) {
            std::string set = "MD5=NULL";
            for (size_t k = 0; k < columns.size(); ++k)
                set += ", " + columns[k] + "=" + text(stateOf(i, k));
            clip("/s" + std::to_string(i), set);
            dbCWSAddDirectory(handle, "/d" + std::to_string(i), 0);
            dbCWSUpdateDirectoryCheck(handle, "/d" + std::to_string(i), i);
        }
        for (size_t j = 0; j < md5s.size(); ++j)
            clip("/m" + std::to_string(j), "Complete=8, RTINValue=8, MD5='" + md5s[j] + "'");

        EXPECT_EQ(clearing.run(handle), -1);

        for (int i = 0; i < kStates; ++i) {
            for (size_t k = 0; k < columns.size(); ++k) {
                const int before = stateOf(i, k);
                const auto cleared = clearing.clearedStates.find(columns[k]);
                const bool reset =
                    cleared != clearing.clearedStates.end() && cleared->second.count(before);
                EXPECT_EQ(row("/s" + std::to_string(i), columns[k]), text(reset ? 0 : before))
                    << columns[k] << " was " << text(before);
            }
            EXPECT_EQ(dbCWSGetDirectoryState(handle, "/d" + std::to_string(i)),
                      clearing.directoriesBack.count(i) ? 0 : i);
        }
        for (size_t j = 0; j < md5s.size(); ++j) {
            const bool forgotten =
                clearing.forgottenMD5s.count("*") || clearing.forgottenMD5s.count(md5s[j]);
            EXPECT_EQ(row("/m" + std::to_string(j), "Complete,RTINValue,MD5"),
                      "8,8," + (forgotten ? std::string("NULL") : md5s[j]));
        }
    }
}

TEST_P(Clearing, ClearInProgressEmptiesTheMaskedElementsAndProgressTexts)
{
    clip("/a", "Complete=2, PiconPath='Progress 40%', PiconValue=1, PiconError='x', "
               "XMPValue=2, XMPPath='p', ProxyValue=1, ProxyPath='/out/a.mp4', "
               "Element9State=2, Element9Value='w', Element9Error='e', MD5='in progress'");
    clip("/b", "Element9Value='Progress 10', Element9State=1, MD5='Unable to read', "
               "MezzanineValue=4");

    dbCWSClearInProgress(handle, CWS_ELEMENT_XMP);
    EXPECT_EQ(row("/a", "PiconValue,XMPValue,MD5"), "1,NULL,in progress");

    EXPECT_EQ(dbCWSClearInProgress(handle, ~0u), 0);
    EXPECT_EQ(row("/a", "PiconPath,PiconValue,PiconError,ProxyPath"), "NULL,NULL,NULL,/out/a.mp4");
    EXPECT_EQ(row("/a", "Element9State,Element9Value,Element9Error,MD5"), "NULL,NULL,NULL,NULL");
    EXPECT_EQ(row("/b", "Element9State,MD5,MezzanineValue"), "NULL,NULL,4");
    // Only MySQL puts a clip in progress back to NULL.
    EXPECT_EQ(row("/a", "Complete"), isMySQL() ? "NULL" : "2");
}

TEST_P(Clearing, StartUpFailsWorkLeftInProgressAndMovesEveryRowOfTheMarkedAnchorPaths)
{
    dbCWSAddDirectory(handle, "/d1", 0);
    dbCWSUpdateDirectoryCheck(handle, "/d1", 2);
    dbCWSAddDirectory(handle, "/d3", 1);
    clip("/e", "Complete=2");
    clip("/f", "Complete=2, RTINValue=2, Element0State=2");
    clip("/g", "Complete=2, MezzanineValue=2");
    clip("/a", "Complete=8, ProxyValue=8");
    clip("/b", "Complete=3");
    clip("/c", "Complete=NULL");
    clip("/d", "Complete=8");
    // A second row of "/d", as only a foreign write makes: a clip's writes address its anchor.
    ASSERT_TRUE(exec("INSERT INTO Clips (ClipName, AnchorPath, SourceDir, Complete) "
                     "VALUES ('d2', '/d', '/', 1)"));

    EXPECT_EQ(dwCWSCheckDatabase(handle), -1);
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/d1"), QZ_ERROR);
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/d3"), QZ_FINISHED);
    EXPECT_EQ(row("/e", "Complete"), "4");
    EXPECT_EQ(row("/f", "Complete,RTINValue,Element0State"), "4,4,2");
    EXPECT_EQ(row("/g", "Complete,MezzanineValue"), "4,4");

    EXPECT_EQ(dbCWSMoveClipStates(handle, 8, QZ_IN_PROGRESS), 0);
    EXPECT_EQ(row("/a", "Complete,ProxyValue"), "2,8");
    EXPECT_EQ(row("/b", "Complete") + row("/c", "Complete"), "3NULL");
    EXPECT_EQ(number("SELECT COUNT(*) FROM Clips WHERE AnchorPath='/d' AND Complete=2"), 2);
}

CLIPWATCH_BOTH_BACKENDS(Clearing);

} // namespace
