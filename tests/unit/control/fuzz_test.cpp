// Random and mutated frames through the control connection's path: frames out of the bounded
// buffer, each request run on the program's instances. Deterministic; CLIPWATCH_FUZZ_INPUTS sets
// the number of inputs (a million by default). Crashes and leaks show under the sanitizers.
#include "tests/unit/control/programfixture.h"

#include "control/commands_p.h"
#include "control/frame.h"
#include "control/xmlreply.h"

#include <QSet>

#include <cstdint>
#include <cstdlib>
#include <random>

namespace
{

struct Random {
    std::mt19937_64 engine;
    int below(int n) { return static_cast<int>(engine() % static_cast<uint64_t>(n)); }
    char byte() { return static_cast<char>(below(256)); }
    // A piece of a request or a troublesome value.
    const char* piece()
    {
        static const QList<QByteArray> pieces =
            QByteArray("&|=|<elf>|sdims=|scandir=|scandir=0|scandir=1|newscandir=|getfirstscandir|"
                       "getscandir|\xc3\xa9|\xff|<|>|%s%n|99999999999|-1|0.5|1e308|t|F|")
                .split('|');
        return pieces[below(pieces.size())].constData();
    }
};

// Words whose commands create, remove or start instances, send service requests or open
// databases: real work, not parsing, and a test of its own covers each.
const QSet<QString> heavyWords = {"start",         "process",     "restart",      "delete",
                                  "setcurrentdir", "setdatabase", "retryprocess", "clearerrors"};

// A well-formed request of one to four command words with random values, mutated.
std::string mutatedRequest(Random& rng)
{
    const std::vector<std::string>& words = control::commandWords();
    std::string text = "<elf>CWSCTL01scandir=" + std::to_string(rng.below(3));
    for (int tokens = 1 + rng.below(4); tokens > 0; --tokens) {
        text += "&" + words[rng.below(static_cast<int>(words.size()))] + "=" + rng.piece();
        for (int b = rng.below(4); b > 0; --b)
            text += rng.byte();
    }
    text += "&sdims=" + std::to_string(rng.below(1000)) + "<elf>";
    for (int e = rng.below(4); e > 0; --e) {
        const size_t at =
            text.empty() ? 0 : static_cast<size_t>(rng.below(static_cast<int>(text.size())));
        switch (rng.below(5)) {
        case 0:
            text.replace(at, 1, 1, rng.byte());
            break;
        case 1:
            text.insert(at, rng.piece());
            break;
        case 2:
            text.erase(at, static_cast<size_t>(rng.below(8)));
            break;
        case 3:
            text.insert(at, text.substr(at, static_cast<size_t>(rng.below(16))));
            break;
        default:
            text.insert(at, 1, rng.byte());
            break;
        }
    }
    return text;
}

// Whether to run `request`: never the heavy words; a request that writes the settings file (every
// set word, pause and stop) one time in 64.
bool worthRunning(const QString& request, Random& rng)
{
    if (request.isEmpty() || request.contains("newscandir="))
        return false;
    bool writes = false;
    for (const QString& token : request.split('&')) {
        const QString word = control::matchCommandWord(token.toStdString());
        if (heavyWords.contains(word))
            return false;
        writes = writes || word.startsWith("set") || word == "pause" || word == "stop";
    }
    return !writes || rng.below(64) == 0;
}

} // namespace

TEST_F(ProgramTest, FuzzedFramesNeitherCrashNorGrowNorChangeTheInstances)
{
    startWindow(2);
    Random rng;
    QString buffer;
    long executed = 0;
    const char* count = std::getenv("CLIPWATCH_FUZZ_INPUTS");
    const long inputs = count ? std::atol(count) : 1000000;
    for (long n = 0; n < inputs; ++n) {
        std::string frame;
        switch (rng.below(8)) {
        case 0: // random bytes
            for (int i = rng.below(64); i > 0; --i)
                frame += rng.byte();
            break;
        case 1: // a run without a closing marker; now and then one beyond the bound
            frame = "<elf>" + std::string(static_cast<size_t>(rng.below(4096)), 'z');
            if (rng.below(1024) == 0)
                frame += std::string(control::kMaxOpenFrame, 'z');
            break;
        default:
            frame = mutatedRequest(rng);
        }
        buffer += QString::fromUtf8(frame.data(), static_cast<int>(frame.size()));
        control::InboundFrame taken;
        while (control::takeFrame(buffer, taken)) {
            if (!worthRunning(taken.request, rng))
                continue;
            std::optional<std::string> reply;
            const int result = program->RunCommand(taken.request.toUtf8().constData(), reply);
            // The reply document reads back with the result (as "value" without a reply text).
            const auto values = control::replyValues(control::replyDocument(result, reply));
            ASSERT_EQ(values.value(reply ? "return" : "value"), QString::number(result))
                << "input " << n;
            ++executed;
        }
        ASSERT_LE(buffer.size(), 2 * control::kMaxOpenFrame + 8192) << "input " << n;
    }
    EXPECT_EQ(program->instances.size(), 2);
    EXPECT_GT(executed, inputs / 10) << "mutated frames still reach the interpreter";
}
