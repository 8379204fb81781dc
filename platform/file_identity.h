// Whether two names stand for one file: the same path spelt differently ("./a",
// "d/../a"), a symbolic link to it or a hard link. Before an output is written, its
// name may not exist yet; such names are compared by the file they would create.
#pragma once

#include <filesystem>
#include <string>

namespace zentra::platform {

// The file a name would write: absolute, symbolic links followed (also a last link
// that points at a file not yet there), "." and ".." resolved.
std::filesystem::path WrittenFile(const std::string& name);

// True when writing one name would write the other.
bool SameFile(const std::string& a, const std::string& b);

} // namespace zentra::platform
