#include "base/export_file.hpp"

#include "base/output_file.hpp"
#include "base/run_error.hpp"

namespace tarnvale {
namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
    throw RunError("\nError: writing " + path + " failed: " + reason + "\n", 1);
}

}  // namespace

void WriteExportFile(const std::string& path, const std::function<void(std::ostream&)>& write) {
    AtomicOutputFile file;
    if (!file.Open(path)) Fail(path, file.openError());
    write(file.stream());
    std::string error;
    if (!file.Commit(error)) Fail(path, error);
}

}  // namespace tarnvale
