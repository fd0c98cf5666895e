#include "common/appdir.h"

#include <system_error>

namespace common {

std::filesystem::path applicationDirectory() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return std::filesystem::current_path(ec);
    return exe.parent_path();
}

} // namespace common
