#include "platform/file_identity.h"

#include <sys/stat.h>

namespace zentra::platform {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinkHops = 40; // as the kernel's own limit on a chain of links

} // namespace

fs::path WrittenFile(const std::string& name) {
    std::error_code ec;
    fs::path path = fs::absolute(name, ec);
    if (ec)
        return fs::path(name).lexically_normal();
    // A link whose target does not exist yet: the file written is that target, which
    // weakly_canonical alone would not follow.
    for (int hop = 0; hop < kMaxLinkHops && fs::is_symlink(fs::symlink_status(path, ec)); ++hop) {
        const fs::path target = fs::read_symlink(path, ec);
        if (ec)
            break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    const fs::path resolved = fs::weakly_canonical(path, ec);
    return ec ? path.lexically_normal() : resolved;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {
    }, second{};
    if (::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    return WrittenFile(a) == WrittenFile(b);
}

} // namespace zentra::platform
