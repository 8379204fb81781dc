// The recently used project files, newest first, kept in the settings store under
// "Software\Corvane\Zentra\Recent File List" as the values "File1" .. "File10", each
// holding the path's bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zentra {

inline constexpr std::string_view kRecentFileKey = "Software\\Corvane\\Zentra\\Recent File List";
inline constexpr std::size_t kRecentFileCount = 10;
inline constexpr std::size_t kRecentPathCapacity = 4096; // bytes of one stored path

class RecentFileList {
  public:
    // Reads the stored list; absent, empty, oversized and repeated entries are skipped.
    void Load();

    // Puts the path first (moving it up if it is already listed), drops what falls
    // beyond ten entries and stores the list. False when the store could not be
    // written. Empty or oversized paths are ignored.
    bool Add(const std::string& path);

    // Takes the path out of the list (a file that could not be opened) and stores it.
    bool Remove(const std::string& path);

    const std::vector<std::string>& Files() const { return files_; }

  private:
    bool Save() const;

    std::vector<std::string> files_;
};

} // namespace zentra
