// Loading, saving and deleting an instance's settings group, and the job limits that the
// desktop heap allows.
#include "scanner/clipwatch.h"

#include "platform/qzconfig.h"
#include "platform/qzlog.h"
#include "scanner/extensionlists.h"
#include "scanner/settingskeys_p.h"

#include <QRegularExpression>
#include <QSettings>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

namespace
{

QString groupName(int number)
{
    return QString("Instance%1").arg(number);
}

QSettings openStore()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch");
}

// The highest number of an "Instance<n>" group of the store; -1 when there is none.
int lastInstanceGroup(const QSettings& store)
{
    static const QRegularExpression instanceGroup("^Instance(\\d+)$");
    int last = -1;
    for (const QString& group : store.childGroups()) {
        const QRegularExpressionMatch m = instanceGroup.match(group);
        if (m.hasMatch())
            last = std::max(last, m.captured(1).toInt());
    }
    return last;
}

// One row of the desktop-heap table: for heaps up to `heapKB`, a wanted total above `bound`
// lowers the limits.
struct HeapLimit {
    int heapKB;
    int bound;
    int md5sWithMD5;
    int translationsWithMD5;
    int translationsWithoutMD5;
};

const HeapLimit heapLimits[] = {
    {768, 95, 70, 20, 95},     {1023, 125, 95, 30, 125},  {2047, 250, 190, 60, 250},
    {3071, 375, 305, 70, 375}, {4095, 500, 410, 90, 500}, {INT_MAX, 750, 650, 100, 750},
};

// The non-interactive desktop heap in kilobytes: the third "SharedSection=" value, 768 when
// the registry value or that number is missing.
int desktopHeapKB()
{
    const std::string windows = QuickRegValueString(
        "HKEY_LOCAL_MACHINE", "System\\CurrentControlSet\\Control\\Session Manager\\SubSystems",
        "Windows");
    const size_t at = windows.find("SharedSection=");
    int first = 0, second = 0, third = 0;
    if (at == std::string::npos || std::sscanf(windows.c_str() + at + std::strlen("SharedSection="),
                                               "%d,%d,%d", &first, &second, &third) != 3)
        return 768;
    return third;
}

// The skip and scan extension lists, the only-extensions list and the command flags.
void loadExtensionsAndFlags(const QSettings& store, CWSSettings* s)
{
    const std::string userSkip = store.value("SkipExtensions").toString().toStdString();
    if (!userSkip.empty())
        s->SkipExtensions = userSkip;
    s->effectiveSkipList = cwsEffectiveSkipList(userSkip, s->SkipExtensionsIngoreDefault);
    if (s->UseOnlySpecifiedExtensions)
        s->UseOnlyExtensions = store.value("UseOnlyExtensions").toString().toStdString();
    s->scanExtensions = cwsScanExtensions(s->effectiveSkipList, s->UseOnlySpecifiedExtensions,
                                          s->UseOnlyExtensions);
    s->ProxyCmdFlags = store.value("ProxyCmdFlags").toString().toStdString();
    // Stores written before the mezzanine flags had a key of their own kept them here.
    const char* mezzanineKey =
        store.contains("MezzanineCmdFlags") ? "MezzanineCmdFlags" : "ProxyCmdFlags";
    s->MezzanineCmdFlags = store.value(mezzanineKey).toString().toStdString();
}

} // namespace

std::atomic<int> CQZClipwatch::instanceCount{1};

CWSSettings CQZClipwatch::Settings() const
{
    std::lock_guard<std::mutex> lock(settingsMutex_);
    return settings_;
}

void CQZClipwatch::LoadSettings(int number)
{
    std::lock_guard<std::mutex> lock(settingsMutex_);
    QSettings store = openStore();
    if (store.childGroups().contains(groupName(number))) {
        store.beginGroup(groupName(number));
        for (const CWSKey& key : cwsSettingsKeys())
            cwsReadKey(key, store, number, &settings_);
        cwsLimitMezzanineWords(&settings_);
        if (settings_.MakeMezzanine && settings_.MezzanineModeS.empty())
            ErrFmtOut(QZ_LEVEL_ERROR, 0, 0, "ERROR(CWSscan): %s\n",
                      "Attempting to make mezzanine file without settting a mode for the "
                      "mezzanine file");
        loadExtensionsAndFlags(store, &settings_);
        LimitConcurrentJobs();
    }
    const int perInstance = settings_.MaxTranslations / std::max(1, instanceCount.load());
    ErrOut("Clipwatch scanner %s MaxTranslations %d + %d (%d)", settings_.DataBase.c_str(),
           settings_.MaxMD5s, settings_.MaxTranslations, perInstance == 0 ? 1 : perInstance);
}

void CQZClipwatch::LimitConcurrentJobs()
{
    CWSSettings& s = settings_;
    const int wanted = s.MaxTranslations + (s.MakeMD5 ? s.MaxMD5s : 0);
    const int heap = desktopHeapKB();
    for (const HeapLimit& row : heapLimits) {
        if (heap > row.heapKB)
            continue;
        if (wanted <= row.bound)
            return;
        if (s.MakeMD5) {
            s.MaxMD5s = row.md5sWithMD5;
            s.MaxTranslations = row.translationsWithMD5;
        } else {
            s.MaxTranslations = row.translationsWithoutMD5;
        }
        return;
    }
}

void CQZClipwatch::SaveSettings(int number)
{
    std::lock_guard<std::mutex> lock(settingsMutex_);
    QSettings store = openStore();
    store.beginGroup(groupName(number));
    for (const CWSKey& key : cwsSettingsKeys())
        if (key.saved)
            store.setValue(key.name, cwsStoredValue(key, settings_));
}

void CQZClipwatch::SaveAutoStart(int number, bool on)
{
    std::lock_guard<std::mutex> lock(settingsMutex_);
    settings_.AutoStart = on;
    QSettings store = openStore();
    store.setValue(groupName(number) + "/AutoStart", on);
}

void CQZClipwatch::UpdateSettings(const std::function<void(CWSSettings&)>& change)
{
    {
        std::lock_guard<std::mutex> lock(settingsMutex_);
        change(settings_);
        cwsLimitMezzanineWords(&settings_);
    }
    SaveSettings(number_);
}

void CQZClipwatch::DeleteInstanceSettings(int number)
{
    ErrOut("Delete: instance=%d ", number_.load());
    if (number < 0)
        return;
    QSettings store = openStore();
    const int last = lastInstanceGroup(store);
    // Whole groups move down, so that no key of a removed instance stays behind.
    for (int k = number; k < last; ++k) {
        store.remove(groupName(k));
        store.beginGroup(groupName(k + 1));
        const QStringList keys = store.childKeys();
        QVariantList values;
        for (const QString& key : keys)
            values << store.value(key);
        store.endGroup();
        store.beginGroup(groupName(k));
        for (int i = 0; i < keys.size(); ++i)
            store.setValue(keys[i], values[i]);
        store.endGroup();
        store.sync();
        LoadSettings(k);
    }
    store.remove(groupName(std::max(number, last)));
}
