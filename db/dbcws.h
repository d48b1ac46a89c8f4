// Every public operation of the clip database.
#pragma once

#include "db/claims.h"
#include "db/clearing.h"
#include "db/clipbatch.h"
#include "db/clipfiles.h"
#include "db/clips.h"
#include "db/connection.h"
#include "db/counting.h"
#include "db/directories.h"
#include "db/elements.h"
#include "db/schema.h"
