// The setters of an instance's settings used by the main window and the command protocol.
#include "scanner/clipwatch.h"

#include "platform/qzpath.h"
#include "scanner/extensionlists.h"

#include <QString>
#include <QStringList>

namespace
{

// `path` with the separator of its own style appended when it does not end in it; an empty
// path stays empty (it must never become the file system's root).
std::string withSeparator(const std::string& path)
{
    if (path.empty())
        return path;
    const char separator = qzOSPathSeparator(path);
    return path.back() == separator ? path : path + separator;
}

void recomputeScanExtensions(CWSSettings* s)
{
    s->scanExtensions = cwsScanExtensions(s->effectiveSkipList, s->UseOnlySpecifiedExtensions,
                                          s->UseOnlyExtensions);
}

} // namespace

void CQZClipwatch::SetText(std::string CWSSettings::*field, const std::string& value)
{
    UpdateSettings([&](CWSSettings& s) { s.*field = value; });
}

void CQZClipwatch::SetOutputDirectory(std::string CWSSettings::*field, const std::string& path)
{
    SetText(field, withSeparator(path));
}

void CQZClipwatch::SetScanDirectory(const std::string& path)
{
    if (Database()) {
        SaveAutoStart(number_, false);
        ChangeState(cwsProcessingStopped);
    } else {
        WarnNoDatabase();
    }
    recordDirectories = false;
    CloseDatabase();
    UpdateSettings([&](CWSSettings& s) {
        s.Dir = withSeparator(path);
        s.Separator = qzOSPathSeparator(path);
    });
    Show(DirectoryLabel, QString::fromStdString(Settings().Dir));
    LoadDatabase();
    SaveSettings(number_);
}

void CQZClipwatch::SetDatabasePath(const std::string& path)
{
    CloseDatabase();
    {
        std::lock_guard<std::mutex> lock(settingsMutex_);
        settings_.DataBase = path;
        if (settings_.DBType == 2)
            qzOSSplitPath(path, nullptr, nullptr, &settings_.DataBase, nullptr);
    }
    Show(DatabaseLabel, QString::fromStdString(Settings().DataBase));
    CloseDatabase();
    LoadDatabase();
}

void CQZClipwatch::SetDatabaseSetting(const std::function<void(CWSSettings&)>& change)
{
    CloseDatabase();
    UpdateSettings(change);
    LoadDatabase();
    SaveSettings(number_);
}

void CQZClipwatch::SetPiconDir(const std::string& path)
{
    SetOutputDirectory(&CWSSettings::PiconDir, path);
}

void CQZClipwatch::SetProxyDir(const std::string& path)
{
    SetOutputDirectory(&CWSSettings::ProxyDir, path);
}

void CQZClipwatch::SetMezzanineDir(const std::string& path)
{
    SetOutputDirectory(&CWSSettings::MezzanineDir, path);
}

void CQZClipwatch::SetRtinDir(const std::string& path)
{
    SetOutputDirectory(&CWSSettings::RtinDir, path);
}

void CQZClipwatch::SetXMPDir(const std::string& path)
{
    SetOutputDirectory(&CWSSettings::XMPDir, path);
}

void CQZClipwatch::SetSkipDir(const std::string& list)
{
    SetText(&CWSSettings::SkipDir, list);
}

void CQZClipwatch::SetSkipName(const std::string& list)
{
    SetText(&CWSSettings::SkipName, list);
}

void CQZClipwatch::SetSkipExtensions(const std::string& list)
{
    UpdateSettings([&](CWSSettings& s) {
        s.SkipExtensions = list;
        s.effectiveSkipList = cwsEffectiveSkipList(list, s.SkipExtensionsIngoreDefault);
        recomputeScanExtensions(&s);
    });
}

void CQZClipwatch::SetProxyCmdFlags(const std::string& text)
{
    SetText(&CWSSettings::ProxyCmdFlags, text);
}

void CQZClipwatch::SetMezzanineCmdFlags(const std::string& text)
{
    SetText(&CWSSettings::MezzanineCmdFlags, text);
}

void CQZClipwatch::SetUseOnlyExtensions(const std::string& list)
{
    UpdateSettings([&](CWSSettings& s) {
        s.UseOnlyExtensions = list;
        recomputeScanExtensions(&s);
    });
}

void CQZClipwatch::SetDatabaseType(int kind)
{
    if (Settings().DBType != kind)
        CloseDatabase();
    UpdateSettings([&](CWSSettings& s) { s.DBType = kind; });
    LoadDatabase();
    SaveSettings(number_);
}

void CQZClipwatch::SetDBHost(const std::string& text)
{
    SetDatabaseSetting([&](CWSSettings& s) { s.DBHost = text; });
}

void CQZClipwatch::SetDBUsername(const std::string& text)
{
    SetDatabaseSetting([&](CWSSettings& s) { s.DBUsername = text; });
}

void CQZClipwatch::SetDBPassword(const std::string& text)
{
    SetDatabaseSetting([&](CWSSettings& s) { s.DBPassword = text; });
}

void CQZClipwatch::SetDBPort(int port)
{
    UpdateSettings([&](CWSSettings& s) { s.DBPort = port; });
}

void CQZClipwatch::SetServiceHost(const std::string& address)
{
    std::lock_guard<std::mutex> lock(settingsMutex_);
    settings_.serviceHost = address;
}

int CQZClipwatch::IsSkippedDirectory(const std::string& path) const
{
    const std::string skipDir = Settings().SkipDir;
    if (skipDir.empty())
        return 0;
    const QString dir = QString::fromStdString(path);
    if (!dir.startsWith("s3://", Qt::CaseInsensitive) &&
        qzOSFileExists(withSeparator(path) + "Do Not Scan.cws"))
        return 1;
    // Empty parts (a trailing ";") would match every directory: they are ignored.
    const QStringList parts = QString::fromStdString(skipDir).split(';', Qt::SkipEmptyParts);
    for (const QString& part : parts)
        if (dir.contains(part, Qt::CaseInsensitive))
            return 1;
    return 0;
}
