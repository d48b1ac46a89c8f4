// Private to db/: reading clip rows shared by the single and the batched clip operations.
#pragma once

#include "db/clipfiles.h"

class dbCwsRows;

// The recorded clip of a row that holds ID, Complete, MD5, Size and MTime.
dbCwsKnownClip dbCwsKnownClipOf(const dbCwsRows& rows);
