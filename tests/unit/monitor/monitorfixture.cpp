// Status replies of the monitor unit tests.
#include "tests/unit/monitor/monitorfixture.h"

std::string statusReply(const std::string& source, const std::string& target,
                        const std::string& profile, int progress, int result,
                        const std::string& resultString)
{
    return "{\"progress\":\"" + std::to_string(progress) + "\",\"result\":\"" +
           std::to_string(result) + "\",\"resultstring\":\"" + resultString + "\",\"source\":\"" +
           source + "\",\"target\":\"" + target + "\",\"profile\":\"" + profile +
           "\",\"client\":\"127.0.0.1\",\"address\":\"127.0.0.1\"}";
}
