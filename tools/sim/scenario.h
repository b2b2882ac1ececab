// The bench's scriptable face: a JSON scenario names the targets (with their
// faults) and a list of requests and port-driver actions; each outcome comes
// out as one JSON object per line.
#pragma once

#include <string>

namespace sim {

// Returns the process exit status: 0, or 2 with a one-line error for a bad scenario.
int run_scenario(const std::string& path, bool trace);

}  // namespace sim
