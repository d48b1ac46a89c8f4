// The clip completion decision and the reading of MD5 results.
#include "monitor/completion.h"

#include <gtest/gtest.h>

#include <map>

TEST(Completion, ClassifyMD5Result)
{
    const std::pair<const char*, int> cases[] = {
        {"0123456789abcdef0123456789abcde-", 0},
        {"process crashed", 3},
        {"in progress", 0},
        {"Error", 3}, // a refused request
        {"lost process purged", 3},
        {"Errorless", 0},
    };
    for (const auto& [text, kind] : cases)
        EXPECT_EQ(ClassifyMD5Result(text), kind) << text;
}

TEST(Completion, OutcomeTable)
{
    using O = CompletionOutcome;
    const unsigned P = CWS_ELEMENT_PICON, X = CWS_ELEMENT_PROXY, W = CWS_ELEMENT_WRAP,
                   M = CWS_ELEMENT_MD5;
    const std::string md5 = "0123456789abcdef0123456789abcdef";
    const struct {
        std::map<unsigned, int> states;
        std::string md5;
        unsigned made; // the elements made
        O expected;
    } rows[] = {
        {{}, "", 0, O::Complete},
        {{{P, 1}, {X, 9}}, "", P | X, O::Complete},
        {{{P, 4}, {X, 2}}, "", P | X, O::Running},
        {{{P, 4}, {X, 1}}, "", P | X, O::Failed},
        {{{P, 1}, {X, 7}}, "", P | X, O::Failed},
        {{{P, 2}, {X, 1}}, "", P | X, O::Running},
        {{}, md5, M, O::Complete},
        {{}, "in progress", M, O::Running},
        {{}, "Error copy not found", M, O::Failed},
        // A failed checksum is settled: a clip whose picon failed too has failed.
        {{{P, 4}}, "Error copy not found", P | M, O::Failed},
        {{{P, 1}, {W, 5}}, "", P | W, O::FailedOnWrap},
        // The checksum is judged before the wrap: its failure is the clip's.
        {{{P, 1}, {W, 5}}, "Error copy not found", P | M | W, O::Failed},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        dbCwsElementStatus status;
        status.states.assign(dbCwsElements().size(), 0);
        for (const auto& [code, state] : rows[i].states)
            status.states[dbCwsElementIndex(code)] = state;
        status.md5 = rows[i].md5;
        EXPECT_EQ(ClipCompletionOutcome(status, rows[i].made), rows[i].expected) << "row " << i;
    }
}
