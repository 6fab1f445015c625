#pragma once
// The files written beside a run's report (exports, drawings, tables): each
// appears complete under its name or not at all, and a failure stops the run
// as a failed report does.

#include <functional>
#include <ostream>
#include <string>

namespace tarnvale {

// Writes `path` through `write` into a temporary file and renames it into
// place. Throws RunError "\nError: writing PATH failed: REASON\n" (status 1)
// when the file cannot be made, written or renamed; nothing is left behind.
void WriteExportFile(const std::string& path, const std::function<void(std::ostream&)>& write);

}  // namespace tarnvale
