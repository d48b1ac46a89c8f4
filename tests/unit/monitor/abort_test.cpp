// Abort All, Clear Processes and Clear Errors with the service answered in-process.
#include "tests/unit/monitor/monitorfixture.h"

#include <gmock/gmock.h>

#include <algorithm>

namespace
{

class Abort : public MonitorTest
{
protected:
    void SetUp() override
    {
        MonitorTest::SetUp();
        makeInstance();
        for (const std::string& clip : {a, b}) {
            addClip(clip);
            for (unsigned code : {CWS_ELEMENT_PICON, CWS_ELEMENT_PROXY, CWS_ELEMENT_XMP})
                dbCWSSetElementStatus(db.get(), -1, clip, code, nullptr, "p", QZ_IN_PROGRESS, "p");
        }
        // The service knows every job: it answers with the source of the aborted job.
        serve([](const std::string& url) -> std::optional<std::string> {
            const size_t at = url.find("source=") + 7;
            const std::string source = url.substr(at, url.find('&', at) - at);
            return "{\"result\":\"0\",\"resultstring\":\"aborted\",\"source\":\"" + source + "\"}";
        });
    }

    const std::string a = "/media/A.mov";
    const std::string b = "/media/b\xff.mov"; // a name that is not UTF-8
};

TEST_F(Abort, AbortOfOneJobForgetsEveryJobOfItsClipAndRequestsRunAtOnceWithoutAScan)
{
    // While no scan runs the request is done at once; an empty list only stops the instance.
    instance->RequestAbortProcesses();
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(instance->state, CQZClipwatch::cwsProcessingStopped);
    EXPECT_FALSE(instance->abortAllRequested);
    instance->checkThread.jobList.append(jobString("picon", a, "/o/x", "p"));
    instance->checkThread.jobList.append(jobString("proxy", a, "/o/x", "p"));
    instance->checkThread.jobList.append(jobString("xmp", b, "/o/x", "p"));
    instance->RequestAbortProcesses();

    EXPECT_TRUE(instance->checkThread.jobList.isEmpty());
    const std::vector<std::string> urls = sent();
    EXPECT_EQ(std::count_if(urls.begin(), urls.end(),
                            [](const std::string& url) {
                                return url.find("&abort=true") != std::string::npos;
                            }),
              3)
        << "the proxy job's abort is sent although it was forgotten";
    // Picon keys renamed, the type left out.
    EXPECT_THAT(urls, ::testing::Contains("http://127.0.0.1:1080/vexojson?request=set&group=any"
                                          "&request=set&client=127.0.0.1&command=copy&source=" +
                                          a +
                                          "&target=/o/x&profile=p&kilobitrate=2000"
                                          "&flags=timeconversion&abort=true"));
    EXPECT_EQ(elementState(a, CWS_ELEMENT_PICON), 0);
    EXPECT_EQ(elementState(a, CWS_ELEMENT_PROXY), QZ_IN_PROGRESS)
        << "both removals reset the aborted job's element, the picon";
    EXPECT_EQ(elementState(b, CWS_ELEMENT_XMP), 0);
    EXPECT_EQ(elementState(b, CWS_ELEMENT_PROXY), QZ_IN_PROGRESS);

    // So are the clearings (their states: Clearing.EachClearingChangesExactlyItsStatesAndTexts).
    dbCWSSetElementStatus(db.get(), -1, a, CWS_ELEMENT_PROXY, nullptr, "", QZ_FINISHED, "");
    dbCWSSetElementStatus(db.get(), -1, b, CWS_ELEMENT_PROXY, nullptr, "", QZ_ERROR, "");
    instance->clearErrorsRequested = true;
    instance->RequestClearErrors();
    EXPECT_FALSE(instance->clearErrorsRequested);
    EXPECT_EQ(elementState(b, CWS_ELEMENT_PROXY), 0);
    instance->clearProcessesRequested = true;
    instance->RequestClearProcesses();
    EXPECT_FALSE(instance->clearProcessesRequested);
    EXPECT_EQ(elementState(a, CWS_ELEMENT_PROXY), 0) << "finished work too";
}

TEST_F(Abort, UnansweredRefusedOrSourcelessAbortsKeepTheJobs)
{
    const std::optional<std::string> replies[] = {
        std::nullopt, std::string("{\"result\":\"1\",\"source\":\"/media/A.mov\"}"),
        std::string("{\"result\":\"0\",\"resultstring\":\"aborted\"}")};
    for (const std::optional<std::string>& reply : replies) {
        serve([reply](const std::string&) { return reply; });
        instance->checkThread.jobList.clear();
        instance->checkThread.jobList.append(jobString("picon", a, "/o/x", "p"));
        instance->checkThread.jobList.append(jobString("xmp", b, "/o/x", "p"));
        instance->AbortProcesses();
        EXPECT_EQ(instance->checkThread.jobList.size(), 2) << reply.value_or("no reply");
    }
}

} // namespace
