// Numeric setting commands: one table of set and get words over integer settings, plus the
// picon percentage (a real number) and the proxy mode (words for numbers).
#include "control/commands_p.h"

#include "platform/qzlog.h"
#include "scanner/clipwatch.h"
#include "scanner/proxymodes.h"

#include <QString>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace control
{

namespace
{

// Differences of a row from the plain set-and-save, count-on-get rule.
enum NumericTraits : unsigned {
    kPlain = 0,
    kZeroKeeps = 1,     // a 0 leaves the setting as it is (and saves)
    kAtMostSlots = 2,   // the get counts no more than the scanning thread's work slots
    kClearsPercent = 4, // the set also zeroes PiconPercent
};

struct NumericRow {
    const char* setWord;
    const char* getWord; // null: no get command
    int CWSSettings::*setting;
    unsigned traits;
    const char* getReply; // null: the get counts; else it replies "<getReply>=<n>" instead
};

const NumericRow numericRows[] = {
    {"setmaxtranslations", "getmaxtranslations", &CWSSettings::MaxTranslations,
     kZeroKeeps | kAtMostSlots, nullptr},
    {"setmaxmd5s", "getmaxmd5s", &CWSSettings::MaxMD5s, kZeroKeeps | kAtMostSlots, nullptr},
    {"setpiconflags", "getpiconflags", &CWSSettings::PiconFlags, kPlain, nullptr},
    {"setpiconframe", "getpiconframe", &CWSSettings::PiconFrame, kClearsPercent, "piconframe"},
    {"setpiconwidth", "getpiconwidth", &CWSSettings::PiconWidth, kPlain, "piconwidth"},
    {"setxmpflags", "getxmpflags", &CWSSettings::XMPFlags, kPlain, nullptr},
    {"setproxywidth", "getproxywidth", &CWSSettings::ProxyWidth, kPlain, nullptr},
    {"setproxyheight", "getproxyheight", &CWSSettings::ProxyHeight, kPlain, nullptr},
    {"setproxyscale", "getproxyscale", &CWSSettings::ProxyScale, kPlain, nullptr},
    {"setproxycompression", "getproxycompression", &CWSSettings::ProxyCompression, kPlain, nullptr},
    {"setproxydatarate", "getproxydatarate", &CWSSettings::ProxyDataRate, kPlain, nullptr},
    {"setproxyflags", "getproxyflags", &CWSSettings::ProxyFlags, kPlain, nullptr},
    {"setmezzaninecompression", "getmezzaninecompression", &CWSSettings::MezzanineCompression,
     kPlain, nullptr},
    {"setmezzaninedatarate", "getmezzaninedatarate", &CWSSettings::MezzanineDataRate, kPlain,
     nullptr},
    {"setmezzanineflags", "getmezzanineflags", &CWSSettings::MezzanineFlags, kPlain, nullptr},
    {"setmezzaninewidth", nullptr, &CWSSettings::MezzanineWidth, kPlain, nullptr},
    {"setmezzanineheight", "getmezzanineheight", &CWSSettings::MezzanineHeight, kPlain, nullptr},
    {"setmezzaninegopsize", "getmezzaninegopsize", &CWSSettings::MezzanineGopSize, kPlain, nullptr},
    {"setindexflags", "getindexflags", &CWSSettings::RtinFlags, kPlain, nullptr},
};

// The scanning thread's work slots: the larger job share and 100 more.
int slotCount(const CQZClipwatch* instance)
{
    return std::max(instance->MD5Share(), instance->TranslationShare()) + 100;
}

void setNumber(Request& r, const NumericRow& row, const std::string& value)
{
    const int n = leadingInteger(value);
    if ((row.traits & kZeroKeeps) && n == 0) {
        r.instance->SaveSettings(r.instance->Number());
        return;
    }
    r.instance->UpdateSettings([&](CWSSettings& s) {
        s.*row.setting = n;
        if (row.traits & kClearsPercent)
            s.PiconPercent = 0;
    });
}

void getNumber(Request& r, const NumericRow& row)
{
    const int n = r.instance->Settings().*row.setting;
    if (row.getReply) {
        r.reply = std::string(row.getReply) + "=" + std::to_string(n);
        return;
    }
    r.value = (row.traits & kAtMostSlots) ? std::min(n, slotCount(r.instance)) : n;
}

// A percentage is taken only when the whole value is a finite decimal number whose hundredfold
// fits the integer of the get reply; otherwise the setting stays and the token is echoed.
void setPiconPercent(Request& r, const std::string& value)
{
    const char* text = value.c_str();
    char* end = nullptr;
    errno = 0;
    const double percent = std::strtod(text, &end);
    const bool decimal =
        QString::fromStdString(value).indexOf(QStringLiteral("0x"), 0, Qt::CaseInsensitive) < 0;
    if (end == text || *end != '\0' || errno == ERANGE || !decimal || !std::isfinite(percent) ||
        std::fabs(percent * 100) >= INT_MAX) {
        ErrOut("\nsetpiconpercent: <%s> is not a usable percentage ", text);
        return;
    }
    r.instance->UpdateSettings([percent](CWSSettings& s) {
        s.PiconPercent = percent;
        s.PiconFrame = 0;
    });
}

void getPiconPercent(Request& r)
{
    const int hundredfold = static_cast<int>(r.instance->Settings().PiconPercent * 100);
    r.reply = "piconpercent=" + std::to_string(hundredfold);
}

void setProxyMode(Request& r, const std::string& value)
{
    const QString text = QString::fromStdString(value);
    int number = CWSSettings().ProxyMode;
    for (const CWSProxyMode& mode : cwsProxyModes()) {
        if (mode.word && text.startsWith(QLatin1String(mode.word), Qt::CaseInsensitive)) {
            number = mode.mode;
            break;
        }
    }
    r.instance->UpdateSettings([number](CWSSettings& s) { s.ProxyMode = number; });
}

void getProxyMode(Request& r)
{
    r.value = r.instance->Settings().ProxyMode;
    const CWSProxyMode* mode = cwsFindProxyMode(r.value);
    r.reply = std::string("proxymode=") + (mode && mode->name ? mode->name : "unknown");
}

} // namespace

void addNumericCommands(CommandMap& commands)
{
    for (const NumericRow& row : numericRows) {
        commands[row.setWord] = {
            [&row](Request& r, const std::string& value) { setNumber(r, row, value); }};
        if (row.getWord)
            commands[row.getWord] = {[&row](Request& r, const std::string&) { getNumber(r, row); }};
    }
    commands["setpiconpercent"] = {setPiconPercent};
    commands["getpiconpercent"] = {[](Request& r, const std::string&) { getPiconPercent(r); }};
    commands["setproxymode"] = {setProxyMode};
    commands["getproxymode"] = {[](Request& r, const std::string&) { getProxyMode(r); }};
}

} // namespace control
