// The clip completion decision and the reading of MD5 results.
#include "monitor/completion.h"

#include <gtest/gtest.h>

#include <map>

TEST(Completion, ClassifyMD5Result)
{
    const std::pair<const char*, int> cases[] = {
        {"0123456789abcdef0123456789ABCDEF", 1},
        {"0123456789abcdef0123456789abcde", 0},
        {"0123456789abcdef0123456789abcde-", 0},
        {"Error copy not found", 3},
        {"process crashed", 3},
        {"in progress", 0},
        {"Error", 3},
        /* a refused request */ {"lost process purged", 3},
        {"Errorless", 0},
    };
    for (const auto& [text, kind] : cases)
        EXPECT_EQ(ClassifyMD5Result(text), kind) << text;
}

TEST(Completion, OutcomeTable)
{
    using O = CompletionOutcome;
    const unsigned P = CWS_ELEMENT_PICON, X = CWS_ELEMENT_PROXY, W = CWS_ELEMENT_WRAP;
    const std::string md5 = "0123456789abcdef0123456789abcdef";
    const struct {
        std::map<unsigned, int> states;
        std::string md5;
        const char* on; // p: picon, x: proxy, m: MD5, w: wrap
        O expected;
    } rows[] = {
        {{}, "", "", O::Complete},
        {{{P, 1}, {X, 9}}, "", "px", O::Complete},
        {{{P, 4}, {X, 2}}, "", "px", O::Running},
        {{{P, 4}, {X, 1}}, "", "px", O::Failed},
        {{{P, 1}, {X, 7}}, "", "px", O::Failed},
        {{{P, 2}, {X, 1}}, "", "px", O::Running},
        {{}, md5, "m", O::Complete},
        {{}, "in progress", "m", O::Running},
        {{}, "Error copy not found", "m", O::Failed},
        // A failed checksum is settled: a clip whose picon failed too has failed.
        {{{P, 4}}, "Error copy not found", "pm", O::Failed},
        {{{P, 4}}, "in progress", "pm", O::Running},
        {{{P, 1}, {W, 5}}, "", "pw", O::FailedOnWrap},
        {{{P, 1}, {W, 9}}, "", "pw", O::Complete},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        dbCwsElementStatus status;
        status.states.assign(dbCwsElements().size(), 0);
        for (const auto& [code, state] : rows[i].states)
            status.states[dbCwsElementIndex(code)] = state;
        status.md5 = rows[i].md5;
        const std::string on = rows[i].on;
        CompletionSwitches switches{};
        switches.picon = on.find('p') != std::string::npos;
        switches.proxy = on.find('x') != std::string::npos;
        switches.md5 = on.find('m') != std::string::npos;
        switches.wrap = on.find('w') != std::string::npos;
        EXPECT_EQ(ClipCompletionOutcome(status, switches), rows[i].expected) << "row " << i;
    }
}
