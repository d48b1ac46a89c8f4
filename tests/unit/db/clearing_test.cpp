// Clearing errors and in-progress marks on both backends, including the wrap element.
#include "tests/unit/db/dbfixture.h"

namespace
{

class Clearing : public DbTest
{
protected:
    // Adds clip `anchor` and sets `columns` ("PiconValue=2, Complete=4") directly.
    void clip(const std::string& anchor, const std::string& columns)
    {
        dbCWSAddClip(handle, "c", anchor, "/scan");
        ASSERT_TRUE(exec("UPDATE Clips SET " + columns + " WHERE AnchorPath='" + anchor + "'"));
    }
    int state(const std::string& columnName, const std::string& anchor)
    {
        return number("SELECT " + columnName + " FROM Clips WHERE AnchorPath='" + anchor + "'");
    }
    std::optional<std::string> text(const std::string& columnName, const std::string& anchor)
    {
        return value("SELECT " + columnName + " FROM Clips WHERE AnchorPath='" + anchor + "'");
    }
};

TEST_P(Clearing, ClearAllErrorsResetsFailuresButKeepsRtinInProgress)
{
    clip("/a", "Complete=6, RTINValue=2, PiconValue=7, XMPValue=1, Element0State=4");
    clip("/b", "Complete=1, RTINValue=4, MD5='lost process', ProxyValue=2");
    clip("/c", "MD5='Error No VexoBase', MezzanineValue=3");
    dbCWSAddDirectory(handle, "/d", 0);
    dbCWSUpdateDirectoryCheck(handle, "/d", 5);

    EXPECT_EQ(dbCWSClearAllErrors(handle), -1);
    EXPECT_EQ(state("Complete", "/a"), 0);
    EXPECT_EQ(state("RTINValue", "/a"), 2);
    EXPECT_EQ(state("PiconValue", "/a"), 0);
    EXPECT_EQ(state("XMPValue", "/a"), 1);
    EXPECT_EQ(state("Element0State", "/a"), 4);
    EXPECT_EQ(state("Complete", "/b"), 1);
    EXPECT_EQ(state("RTINValue", "/b"), 0);
    EXPECT_EQ(state("ProxyValue", "/b"), 0);
    EXPECT_EQ(text("MD5", "/b"), std::nullopt);
    EXPECT_EQ(text("MD5", "/c"), "Error No VexoBase");
    EXPECT_EQ(state("MezzanineValue", "/c"), 0);
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/d"), 0);
}

TEST_P(Clearing, ClearErrorsOfFinishedForgetsEveryChecksum)
{
    clip("/a", "Complete=1, PiconValue=1, RTINValue=1, Element9State=1, MD5='abc'");
    clip("/b", "Complete=4, PiconValue=4, Element9State=4, "
               "MD5='MD5 Not Created No Response from VexoBase'");
    clip("/c", "MD5='Error'");

    EXPECT_EQ(dbCWSClearErrors(handle, 4), -1);
    EXPECT_EQ(state("Complete", "/b"), 0);
    EXPECT_EQ(state("PiconValue", "/b"), 0);
    EXPECT_EQ(state("Element9State", "/b"), 0);
    EXPECT_EQ(text("MD5", "/b"), std::nullopt);
    EXPECT_EQ(text("MD5", "/a"), "abc");
    EXPECT_EQ(text("MD5", "/c"), "Error");
    EXPECT_EQ(state("Complete", "/a"), 1);

    dbCWSClearErrors(handle, 1);
    EXPECT_EQ(state("Complete", "/a"), 0);
    EXPECT_EQ(state("RTINValue", "/a"), 0);
    EXPECT_EQ(state("Element9State", "/a"), 0);
    EXPECT_EQ(text("MD5", "/a"), std::nullopt);
    EXPECT_EQ(text("MD5", "/c"), std::nullopt);
}

TEST_P(Clearing, ClearInProgressEmptiesRunningElementsAndProgressTexts)
{
    clip("/a", "Complete=2, PiconPath='Progress 40%', PiconValue=1, PiconError='x', "
               "XMPValue=2, XMPPath='p', ProxyValue=1, ProxyPath='/out/a.mp4', "
               "Element9State=2, Element9Value='w', Element9Error='e', MD5='in progress'");
    clip("/b", "Element9Value='Progress 10', Element9State=1, MD5='Unable to read', "
               "MezzanineValue=4");

    EXPECT_EQ(dbCWSClearInProgress(handle, ~0u), 0);
    EXPECT_EQ(text("PiconPath", "/a"), std::nullopt);
    EXPECT_EQ(state("PiconValue", "/a"), -1);
    EXPECT_EQ(text("PiconError", "/a"), std::nullopt);
    EXPECT_EQ(state("XMPValue", "/a"), -1);
    EXPECT_EQ(text("ProxyPath", "/a"), "/out/a.mp4");
    EXPECT_EQ(state("Element9State", "/a"), -1);
    EXPECT_EQ(text("Element9Value", "/a"), std::nullopt);
    EXPECT_EQ(text("Element9Error", "/a"), std::nullopt);
    EXPECT_EQ(text("MD5", "/a"), std::nullopt);
    EXPECT_EQ(state("Element9State", "/b"), -1);
    EXPECT_EQ(text("MD5", "/b"), std::nullopt);
    EXPECT_EQ(state("MezzanineValue", "/b"), 4);
    // Only MySQL puts a clip in progress back to NULL.
    EXPECT_EQ(state("Complete", "/a"), isMySQL() ? -1 : 2);
}

TEST_P(Clearing, ClearInProgressHonoursTheMask)
{
    clip("/a", "PiconValue=2, XMPValue=2, MD5='in progress'");
    dbCWSClearInProgress(handle, CWS_ELEMENT_XMP);
    EXPECT_EQ(state("PiconValue", "/a"), 2);
    EXPECT_EQ(state("XMPValue", "/a"), -1);
    EXPECT_EQ(text("MD5", "/a"), "in progress");
}

TEST_P(Clearing, ClearRunningPutsSwitchedElementsBack)
{
    clip("/a", "Complete=2, PiconValue=2, ProxyValue=2, RTINValue=4, Element9State=2, "
               "MD5='Error'");
    clip("/b", "MD5='MD5 Not Created No Response from VexoBase'");
    EXPECT_EQ(dbCWSClearRunning(handle, true, false, false, false, true, false, true), -1);
    EXPECT_EQ(state("Complete", "/a"), 0);
    EXPECT_EQ(state("PiconValue", "/a"), 0);
    EXPECT_EQ(state("ProxyValue", "/a"), 2);
    EXPECT_EQ(state("RTINValue", "/a"), 4);
    EXPECT_EQ(state("Element9State", "/a"), 0);
    EXPECT_EQ(text("MD5", "/a"), "Error");

    dbCWSClearRunning(handle, false, false, false, false, false, true, false);
    EXPECT_EQ(text("MD5", "/a"), std::nullopt);
    EXPECT_EQ(text("MD5", "/b"), std::nullopt);
    EXPECT_EQ(state("ProxyValue", "/a"), 2);
}

TEST_P(Clearing, CheckDatabaseMarksWorkLeftInProgressAsFailed)
{
    for (const char* dir : {"/d1", "/d2"}) {
        dbCWSAddDirectory(handle, dir, 0);
        dbCWSUpdateDirectoryCheck(handle, dir, 2);
    }
    dbCWSAddDirectory(handle, "/d3", 1);
    clip("/a", "Complete=2");
    clip("/b", "Complete=2, RTINValue=2, Element0State=2");
    clip("/c", "Complete=2, MezzanineValue=2");
    EXPECT_EQ(dwCWSCheckDatabase(handle), -1);
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/d1"), 4);
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/d2"), 4);
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/d3"), 1);
    EXPECT_EQ(number("SELECT COUNT(*) FROM Clips WHERE Complete=4"), 3);
    EXPECT_EQ(state("RTINValue", "/b"), 4);
    EXPECT_EQ(state("MezzanineValue", "/c"), 4);
    EXPECT_EQ(state("Element0State", "/b"), 2);
}

CLIPWATCH_BOTH_BACKENDS(Clearing);

} // namespace
