// Test fixture of the monitor unit tests: an instance and a job monitor that is never started.
#pragma once

#include "monitor/checkthread.h"
#include "platform/bytetext.h"
#include "tests/support/instancetest.h"

class MonitorTest : public InstanceTest
{
protected:
    void makeInstance(const std::map<QString, QVariant>& keys = {}) override
    {
        InstanceTest::makeInstance(keys);
        monitor.owner = instance.get();
    }

    QCheckThread monitor; // never started: the tests call PollJob
};

// A status reply in the service's shape.
inline std::string statusReply(const std::string& source, const std::string& target,
                               const std::string& profile, int progress, int result = 0,
                               const std::string& resultString = "")
{
    return "{\"progress\":\"" + std::to_string(progress) + "\",\"result\":\"" +
           std::to_string(result) + "\",\"resultstring\":\"" + resultString + "\",\"source\":\"" +
           source + "\",\"target\":\"" + target + "\",\"profile\":\"" + profile +
           "\",\"client\":\"127.0.0.1\",\"address\":\"127.0.0.1\"}";
}

// A job string as the scanner hands it to the monitor; a picon job names its files as the
// picon request does.
inline QString jobString(const std::string& type, const std::string& source,
                         const std::string& target, const std::string& profile,
                         const std::string& extra = "",
                         const std::string& service = "127.0.0.1:1080")
{
    const bool picon = type == "picon";
    return textOfBytes(
        "http://" + service + "/vexojson?request=set&client=127.0.0.1&command=copy&" +
        (picon ? "pisrc=" : "source=") + source + (picon ? "&pidst=" : "&target=") + target +
        "&profile=" + profile + "&kilobitrate=2000&flags=timeconversion" + extra + "&type=" + type);
}
