// The job table as a small HTML page for a person (GET /).
#pragma once

#include "tools/vexobase/jobtable.h"

#include <string>
#include <vector>

namespace vexobase
{

std::string jobPage(const std::vector<JobView>& jobs, bool simulate);

} // namespace vexobase
