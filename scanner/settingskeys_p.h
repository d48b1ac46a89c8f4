// The keys of an instance's settings group: one descriptor per key, naming its field in
// CWSSettings, how it is read and written, and where its default comes from. Load, save and
// delete walk these descriptors in their own orders. Private to scanner/.
#pragma once

#include "scanner/settingsrecord.h"

#include <QVariant>

#include <vector>

class QSettings;

// What a missing key, or an empty stored text, does to a field.
enum class CWSKeyRule {
    Keep,        // the field keeps its current value
    Clear,       // a text becomes empty
    Directory,   // a text becomes empty; a non-empty one gets its separator appended
    ScanDir,     // "Dir": an empty text marks the instance invalid; separator appended
    SkipDirList, // "SkipDir": an empty text gives the built-in directory skip list
    Special,     // read by code of its own (command flags, only-extensions list)
};

struct CWSKey {
    const char* name; // key in the group
    std::string CWSSettings::*text = nullptr;
    int CWSSettings::*number = nullptr;
    bool CWSSettings::*flag = nullptr;
    double CWSSettings::*real = nullptr;    // written truncated to an integer
    char CWSSettings::*character = nullptr; // written as a one-character text
    CWSKeyRule rule = CWSKeyRule::Keep;
    const char* defaultFrom = nullptr; // a missing value takes this key's value instead
    bool saved = true;                 // written by SaveSettings
};

// Every key, in the order in which LoadSettings reads them.
const std::vector<CWSKey>& cwsSettingsKeys();

// The descriptor of `name`; null for a name that is not a key.
const CWSKey* cwsFindKey(const char* name);

// Reads one key into `s` (group of `number` already open in `store`) by its rule.
void cwsReadKey(const CWSKey& key, const QSettings& store, int number, CWSSettings* s);

// The value SaveSettings writes for `key`.
QVariant cwsStoredValue(const CWSKey& key, const CWSSettings& s);

// Cuts MezzanineModeS and MezzanineTypeS to 63 characters, logging a warning for each cut.
void cwsLimitMezzanineWords(CWSSettings* s);
