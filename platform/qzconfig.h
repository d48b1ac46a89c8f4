// Configuration values of the media libraries, the registry stand-in and the program's
// configuration folder. Linux has no registry: an ini store "Velmora"/"Registry" holds values as
// <root>/<key path>/<value name>; media-library values live in the ini store "Quillon"/"Config",
// the section path ("Quillon\Default") becoming the group ("Quillon/Default").
#pragma once

#include <cstdint>
#include <string>

// Reads (mode 0) the value into *value, or writes (mode 1) *value. `scope` is passed as -1.
// Returns 0 on success, -1 when a read finds no value (then *value is left unchanged).
int qzCFGValueDword(int scope, const char* section, const char* key, uint32_t* value, int mode);

// The text of a registry value, or an empty text when it is absent. `keyPath` may use "\".
std::string QuickRegValueString(const char* root, const char* keyPath, const char* valueName);

// Stores a registry value (used by tests and set-up scripts).
void QuickRegSetValueString(const char* root, const char* keyPath, const char* valueName,
                            const std::string& value);

// The program's configuration folder, with a trailing "/"; created when missing.
std::string qzOSGetConfigDir();
