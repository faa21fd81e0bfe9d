// The legend the charting library drew last, kept for whoever shows a chart's
// entries as text (the console's chart command): each entry's fields as the
// chart named them ({label} and {value} of a pie, {dataSetName} and {dsField0}
// of a bar chart), in the order they were drawn.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace chartdir {

std::vector<std::map<std::string, std::string>> last_legend();
// Forgets it (a chart that draws nothing leaves none).
void forget_last_legend();

}  // namespace chartdir
