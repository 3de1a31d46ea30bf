// The process itself: the single-instance rule and restarting in place.
#pragma once

#include <string>
#include <vector>

namespace tq::platform {

// Takes the per-user lock named name in the runtime folder. False when
// another running process holds it. The lock lives until the process ends
// or replaces its image (it is closed on exec, so a restarted program takes
// it again).
bool claim_single_instance(const std::string& name);

// Replaces the running program with path and these arguments (argv[0]
// included). Returns only when that failed.
void exec_program(const std::string& path, const std::vector<std::string>& args);

} // namespace tq::platform
