// Configuration values and the registry stand-in, both on QSettings ini stores.
#include "platform/qzconfig.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace
{

QString groupPath(const char* root, const char* path, const char* name)
{
    QString key = QString::fromUtf8(path);
    key.replace('\\', '/');
    if (root && *root)
        key = QString::fromUtf8(root) + "/" + key;
    return key + "/" + QString::fromUtf8(name);
}

} // namespace

int qzCFGValueDword(int, const char* section, const char* key, uint32_t* value, int mode)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Quillon", "Config");
    const QString name = groupPath(nullptr, section, key);
    if (mode == 1) {
        store.setValue(name, *value);
        return 0;
    }
    if (!store.contains(name))
        return -1;
    bool ok = false;
    const uint32_t stored = store.value(name).toUInt(&ok);
    if (!ok)
        return -1;
    *value = stored;
    return 0;
}

std::string QuickRegValueString(const char* root, const char* keyPath, const char* valueName)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Velmora", "Registry");
    return store.value(groupPath(root, keyPath, valueName)).toString().toStdString();
}

void QuickRegSetValueString(const char* root, const char* keyPath, const char* valueName,
                            const std::string& value)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Velmora", "Registry");
    store.setValue(groupPath(root, keyPath, valueName), QString::fromStdString(value));
}

std::string qzOSGetConfigDir()
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Velmora", "Clipwatch");
    const QString dir = QFileInfo(store.fileName()).absolutePath() + "/Clipwatch/";
    QDir().mkpath(dir);
    return dir.toStdString();
}
