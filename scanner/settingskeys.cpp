// The settings key table and the reading and writing of one key.
#include "scanner/settingskeys_p.h"

#include "scanner/elementsettings.h"

#include "platform/qzlog.h"
#include "platform/qzpath.h"

#include <QSettings>

#include <cstring>

namespace
{

using S = CWSSettings;
using R = CWSKeyRule;

CWSKey text(const char* name, std::string S::*field, R rule, const char* from = nullptr)
{
    CWSKey k{name};
    k.text = field;
    k.rule = rule;
    k.defaultFrom = from;
    return k;
}

CWSKey number(const char* name, int S::*field, const char* from = nullptr)
{
    CWSKey k{name};
    k.number = field;
    k.defaultFrom = from;
    return k;
}

CWSKey flag(const char* name, bool S::*field, const char* from = nullptr)
{
    CWSKey k{name};
    k.flag = field;
    k.defaultFrom = from;
    return k;
}

CWSKey real(const char* name, double S::*field)
{
    CWSKey k{name};
    k.real = field;
    return k;
}

CWSKey character(const char* name, char S::*field)
{
    CWSKey k{name};
    k.character = field;
    return k;
}

// A key that LoadSettings reads and SaveSettings leaves alone.
CWSKey unsaved(CWSKey key)
{
    key.saved = false;
    return key;
}

const char* const defaultSkipDir = "Adobe Premiere Pro Audio Previews;Adobe Premiere Pro Auto-Save;"
                                   "Adobe Premiere Pro Video Previews";

constexpr size_t mezzanineWordLimit = 63;

void warn(const QString& text)
{
    ErrFmtOut(QZ_LEVEL_WARNING, 0, 0, "WARNING(CWSscan): %s\n", text.toUtf8().constData());
}

void appendSeparator(std::string* path)
{
    if (path->empty())
        return;
    const char separator = qzOSPathSeparator(*path);
    if (path->back() != separator)
        *path += separator;
}

QVariant fieldValue(const CWSKey& key, const CWSSettings& s)
{
    if (key.text)
        return QString::fromStdString(s.*key.text);
    if (key.number)
        return s.*key.number;
    if (key.flag)
        return s.*key.flag;
    if (key.real)
        return s.*key.real;
    return QString(QChar(s.*key.character));
}

// Assigns a stored non-text value; a value that does not parse leaves the field as it is.
void assign(const CWSKey& key, const QVariant& value, CWSSettings* s)
{
    bool ok = true;
    if (key.number) {
        const int v = value.toInt(&ok);
        if (ok)
            s->*key.number = v;
    } else if (key.flag) {
        s->*key.flag = value.toBool();
    } else if (key.real) {
        const double v = value.toDouble(&ok);
        if (ok)
            s->*key.real = v;
    } else if (key.character) {
        const QString v = value.toString();
        ok = !v.isEmpty() && v[0].unicode() >= 0x20 && v[0].unicode() < 0x7F;
        if (ok)
            s->*key.character = static_cast<char>(v[0].unicode());
    }
    if (!ok)
        warn(QString("Setting %1 has the unusable value \"%2\"; kept %3")
                 .arg(key.name, value.toString(), fieldValue(key, *s).toString()));
}

// The value a missing key defaults to through defaultFrom: the other key's stored value, or
// when that is missing too its field's current value. Invalid when there is no such rule.
QVariant defaultValue(const CWSKey& key, const QSettings& store, const CWSSettings& s)
{
    if (!key.defaultFrom)
        return QVariant();
    const QVariant stored = store.value(key.defaultFrom);
    if (stored.isValid() && !(key.text && stored.toString().isEmpty()))
        return stored;
    return fieldValue(*cwsFindKey(key.defaultFrom), s);
}

void readText(const CWSKey& key, const QSettings& store, int number, CWSSettings* s)
{
    std::string& field = s->*key.text;
    std::string value = store.value(key.name).toString().toStdString();
    if (value.empty() && key.defaultFrom)
        value = defaultValue(key, store, *s).toString().toStdString();
    if (!value.empty()) {
        field = value;
        if (key.rule == R::Directory || key.rule == R::ScanDir)
            appendSeparator(&field);
        return;
    }
    switch (key.rule) {
    case R::Clear:
    case R::Directory:
        field.clear();
        break;
    case R::ScanDir:
        field = QString("Instance %1 invalid - no directory").arg(number).toStdString();
        break;
    case R::SkipDirList:
        field = defaultSkipDir;
        break;
    case R::Keep:
    case R::Special:
        break;
    }
}

} // namespace

const std::vector<CWSKey>& cwsSettingsKeys()
{
    static const std::vector<CWSKey> keys = {
        text("Dir", &S::Dir, R::ScanDir),
        text("DataBase", &S::DataBase, R::Clear),
        text("DBUsername", &S::DBUsername, R::Keep),
        text("DBPassword", &S::DBPassword, R::Keep),
        number("MaxMD5s", &S::MaxMD5s, "MaxTranslations"),
        number("MaxTranslations", &S::MaxTranslations),
        number("DBPort", &S::DBPort),
        text("DBHost", &S::DBHost, R::Keep),
        number("DBType", &S::DBType),
        text("SkipDir", &S::SkipDir, R::SkipDirList),
        text("SkipName", &S::SkipName, R::Keep),
        text("SkipExtensions", &S::SkipExtensions, R::Keep),
        character("Separator", &S::Separator),
        unsaved(text("cmdip", &S::cmdip, R::Keep)),
        flag("MakePicons", &S::MakePicons),
        text("PiconDir", &S::PiconDir, R::Directory, "ProxyDir"),
        number("PiconFlags", &S::PiconFlags),
        real("PiconPercent", &S::PiconPercent),
        number("PiconFrame", &S::PiconFrame),
        flag("MakeProxy", &S::MakeProxy),
        number("PiconWidth", &S::PiconWidth),
        number("ProxyMode", &S::ProxyMode),
        number("ProxyWidth", &S::ProxyWidth),
        number("ProxyHeight", &S::ProxyHeight),
        number("ProxyScale", &S::ProxyScale),
        number("ProxyCompression", &S::ProxyCompression),
        number("ProxyDataRate", &S::ProxyDataRate),
        number("ProxyFlags", &S::ProxyFlags),
        text("ProxyDir", &S::ProxyDir, R::Directory),
        text("ProxyAudioRouting", &S::ProxyAudioRouting, R::Keep),
        flag("MakeMezzanine", &S::MakeMezzanine),
        text("MezzanineModeS", &S::MezzanineModeS, R::Clear),
        text("MezzanineTypeS", &S::MezzanineTypeS, R::Clear),
        number("MezzanineCompression", &S::MezzanineCompression),
        number("MezzanineDataRate", &S::MezzanineDataRate),
        number("MezzanineFlags", &S::MezzanineFlags),
        number("MezzanineWidth", &S::MezzanineWidth, "ProxyWidth"),
        number("MezzanineHeight", &S::MezzanineHeight, "ProxyHeight"),
        number("MezzanineGopSize", &S::MezzanineGopSize, "ProxyHeight"),
        text("MezzanineDir", &S::MezzanineDir, R::Directory),
        text("MezzanineAudioRouting", &S::MezzanineAudioRouting, R::Keep),
        unsaved(text("ErrorCopyDirectory", &S::ErrorCopyDirectory, R::Directory)),
        unsaved(flag("AutoStart", &S::AutoStart)),
        flag("MakeRtin", &S::MakeRtin, "MakeXMP"),
        text("RtinDir", &S::RtinDir, R::Directory),
        number("RtinFlags", &S::RtinFlags),
        flag("MakeXMP", &S::MakeXMP),
        number("XMPFlags", &S::XMPFlags),
        text("XMPDir", &S::XMPDir, R::Directory),
        flag("MakeMD5", &S::MakeMD5),
        flag("SendMessages", &S::SendMessages),
        number("DebugOutFlags", &S::DebugOutFlags),
        unsaved(flag("MakeWrap", &S::MakeWrap)),
        unsaved(number("WrapDuration", &S::WrapDuration)),
        unsaved(number("WrapFlags", &S::WrapFlags)),
        unsaved(text("WrapDir", &S::WrapDir, R::Keep)),
        unsaved(number("MinimumStillLength", &S::MinimumStillLength)),
        unsaved(number("SettleSeconds", &S::SettleSeconds)),
        unsaved(flag("SkipExtensionsIngoreDefault", &S::SkipExtensionsIngoreDefault)),
        flag("UseOnlySpecifiedExtensions", &S::UseOnlySpecifiedExtensions),
        text("UseOnlyExtensions", &S::UseOnlyExtensions, R::Special),
        text("ProxyCmdFlags", &S::ProxyCmdFlags, R::Special),
        text("MezzanineCmdFlags", &S::MezzanineCmdFlags, R::Special),
        unsaved(number("CompressedFileLimit", &S::CompressedFileLimit)),
        unsaved(number("StartingState", &S::StartingState)),
        unsaved(text("ServiceHosts", &S::ServiceHosts, R::Clear)),
        unsaved(text("FarmHost", &S::FarmHost, R::Clear)),
        unsaved(number("ClaimSeconds", &S::ClaimSeconds)),
    };
    return keys;
}

const CWSKey* cwsFindKey(const char* name)
{
    for (const CWSKey& key : cwsSettingsKeys())
        if (std::strcmp(key.name, name) == 0)
            return &key;
    return nullptr;
}

void cwsReadKey(const CWSKey& key, const QSettings& store, int number, CWSSettings* s)
{
    if (key.rule == R::Special)
        return;
    if (key.text) {
        readText(key, store, number, s);
        return;
    }
    QVariant value = store.value(key.name);
    if (!value.isValid())
        value = defaultValue(key, store, *s);
    if (value.isValid())
        assign(key, value, s);
}

QVariant cwsStoredValue(const CWSKey& key, const CWSSettings& s)
{
    if (key.flag)
        return s.*key.flag ? 1 : 0;
    if (key.real)
        return static_cast<int>(s.*key.real);
    return fieldValue(key, s);
}

void cwsLimitMezzanineWords(CWSSettings* s)
{
    for (const char* name : {"MezzanineModeS", "MezzanineTypeS"}) {
        std::string& word = s->*cwsFindKey(name)->text;
        if (word.size() <= mezzanineWordLimit)
            continue;
        // Cut at a character boundary so that no UTF-8 sequence is split.
        size_t cut = mezzanineWordLimit;
        while (cut > 0 && (static_cast<unsigned char>(word[cut]) & 0xC0) == 0x80)
            --cut;
        word.resize(cut);
        warn(QString("%1 longer than %2 characters, cut to \"%3\"")
                 .arg(name)
                 .arg(mezzanineWordLimit)
                 .arg(QString::fromStdString(word)));
    }
}

namespace
{

// The keys of an element's switch, folder and flags; null where it has none.
struct ElementKeys {
    const CWSKey* make;
    const CWSKey* dir;
    const CWSKey* flags;
};

const ElementKeys& keysOf(const dbCwsElement& e)
{
    static const std::vector<ElementKeys> keys = [] {
        const auto find = [](const char* name) { return name ? cwsFindKey(name) : nullptr; };
        std::vector<ElementKeys> all;
        for (const dbCwsElement& element : dbCwsElements())
            all.push_back({find(element.makeKey), find(element.dirKey), find(element.flagsKey)});
        return all;
    }();
    return keys[static_cast<size_t>(dbCwsElementIndex(e.code))];
}

} // namespace

bool cwsMakes(const CWSSettings& s, const dbCwsElement& e)
{
    return e.makeKey && s.*keysOf(e).make->flag;
}

void cwsSetMakes(CWSSettings* s, const dbCwsElement& e, bool on)
{
    s->*keysOf(e).make->flag = on;
}

unsigned cwsMadeElements(const CWSSettings& s)
{
    unsigned made = 0;
    for (const dbCwsElement& e : dbCwsElements())
        if (cwsMakes(s, e))
            made |= e.code;
    return made;
}

const std::string& cwsElementDir(const CWSSettings& s, const dbCwsElement& e)
{
    return s.*keysOf(e).dir->text;
}

int cwsElementFlags(const CWSSettings& s, const dbCwsElement& e)
{
    return s.*keysOf(e).flags->number;
}
