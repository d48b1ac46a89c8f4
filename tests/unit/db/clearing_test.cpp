// Clearing errors and in-progress marks on both backends, including the wrap element.
#include "tests/unit/db/dbfixture.h"

namespace
{

using Clearing = DbTest;

TEST_P(Clearing, ClearAllErrorsResetsFailuresButKeepsRtinInProgress)
{
    clip("/a", "Complete=6, RTINValue=2, PiconValue=7, XMPValue=1, Element0State=4");
    clip("/b", "Complete=1, RTINValue=4, MD5='lost process', ProxyValue=2");
    clip("/c", "MD5='Error No VexoBase', MezzanineValue=3");
    dbCWSAddDirectory(handle, "/d", 0);
    dbCWSUpdateDirectoryCheck(handle, "/d", 5);

    EXPECT_EQ(dbCWSClearAllErrors(handle), -1);
    EXPECT_EQ(row("/a", "Complete,RTINValue,PiconValue,XMPValue,Element0State"), "0,2,0,1,4");
    EXPECT_EQ(row("/b", "Complete,RTINValue,ProxyValue,MD5"), "1,0,0,NULL");
    EXPECT_EQ(row("/c", "MD5,MezzanineValue"), "Error No VexoBase,0");
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/d"), 0);
}

TEST_P(Clearing, ClearErrorsOfFinishedForgetsEveryChecksum)
{
    clip("/a", "Complete=1, PiconValue=1, RTINValue=1, Element9State=1, MD5='abc'");
    clip("/b", "Complete=4, PiconValue=4, Element9State=4, "
               "MD5='MD5 Not Created No Response from VexoBase'");
    clip("/c", "MD5='Error'");

    EXPECT_EQ(dbCWSClearErrors(handle, QZ_ERROR), -1);
    EXPECT_EQ(row("/b", "Complete,PiconValue,Element9State,MD5"), "0,0,0,NULL");
    EXPECT_EQ(row("/a", "Complete,MD5"), "1,abc");
    EXPECT_EQ(row("/c", "MD5"), "Error");

    dbCWSClearErrors(handle, QZ_FINISHED);
    EXPECT_EQ(row("/a", "Complete,RTINValue,Element9State,MD5"), "0,0,0,NULL");
    EXPECT_EQ(row("/c", "MD5"), "NULL");
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

TEST_P(Clearing, ClearRunningPutsSwitchedElementsBack)
{
    clip("/a", "Complete=2, PiconValue=2, ProxyValue=2, RTINValue=4, Element9State=2, "
               "MD5='Error'");
    clip("/b", "MD5='MD5 Not Created No Response from VexoBase'");
    EXPECT_EQ(dbCWSClearRunning(handle, true, false, false, false, true, false, true), -1);
    EXPECT_EQ(row("/a", "Complete,PiconValue,ProxyValue,RTINValue,Element9State,MD5"),
              "0,0,2,4,0,Error");

    dbCWSClearRunning(handle, false, false, false, false, false, true, false);
    EXPECT_EQ(row("/a", "MD5,ProxyValue"), "NULL,2");
    EXPECT_EQ(row("/b", "MD5"), "NULL");
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
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/d1"), QZ_ERROR);
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/d2"), QZ_ERROR);
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/d3"), QZ_FINISHED);
    EXPECT_EQ(row("/a", "Complete"), "4");
    EXPECT_EQ(row("/b", "Complete,RTINValue,Element0State"), "4,4,2");
    EXPECT_EQ(row("/c", "Complete,MezzanineValue"), "4,4");
}

CLIPWATCH_BOTH_BACKENDS(Clearing);

} // namespace
