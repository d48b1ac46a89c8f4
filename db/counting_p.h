// Private to db/: the definition of every count, shared by the counting queries and the
// per-connection count cache. Conditions mark each column with "$", which is replaced by the
// row the column is read from: nothing in a WHERE clause, "NEW." or "OLD." in a trigger. No
// condition holds for a row whose columns it reads are NULL: the cache passes over NULL columns.
#pragma once

#include "db/counting.h"

#include <array>
#include <string>
#include <vector>

struct dbCwsCountDefinition {
    const char* fcn;                     // operation name, for failure lines
    const char* table;                   // "Directories" or "Clips"
    std::vector<std::string> conditions; // their COUNT(*)s add up; empty text: every row
    int missing;                         // result without a database
};

// Every count, in dbCwsCount order.
const std::array<dbCwsCountDefinition, CWS_COUNT_KINDS>& dbCwsCountDefinitions();

// `condition` with its columns read from `row` ("", "NEW." or "OLD.").
std::string dbCwsCountCondition(const std::string& condition, const std::string& row);

// The aggregate that gives the count over its table, in SQL both kinds run, never NULL.
std::string dbCwsCountAggregate(const dbCwsCountDefinition& definition);

// What one row of `row` adds to the count: 0, 1, or more for a summed count.
std::string dbCwsCountOfRow(const dbCwsCountDefinition& definition, const std::string& row);

// The columns the count reads, each once.
std::vector<std::string> dbCwsCountColumns(const dbCwsCountDefinition& definition);

// The columns one condition reads, each once.
std::vector<std::string> dbCwsConditionColumns(const std::string& condition);
