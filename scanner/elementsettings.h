// An element's settings in a settings record, found through the keys the element table names.
#pragma once

#include "db/elements.h"
#include "scanner/settingsrecord.h"

#include <string>

// Whether `s` makes element `e`; false for an element without a switch.
bool cwsMakes(const CWSSettings& s, const dbCwsElement& e);

// Turns element `e` on or off in `s` (it must have a switch).
void cwsSetMakes(CWSSettings* s, const dbCwsElement& e, bool on);

// The codes of the elements `s` makes, as one bit set.
unsigned cwsMadeElements(const CWSSettings& s);

// The output folder and flags of element `e` (which must have them).
const std::string& cwsElementDir(const CWSSettings& s, const dbCwsElement& e);
int cwsElementFlags(const CWSSettings& s, const dbCwsElement& e);
