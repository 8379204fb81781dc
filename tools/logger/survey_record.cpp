#include "tools/logger/survey_record.h"

#include "platform/file_io.h"
#include "tools/logger/logger_session.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

namespace zentra::logger {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxRecordBytes = 4096; // a record is three short lines
constexpr std::string_view kStartWord = "start ";

} // namespace

std::optional<std::int64_t> SurveyEnd(const LoggerOptions& options, std::int64_t start) {
    std::optional<std::int64_t> end;
    if (options.forSeconds)
        end = start + *options.forSeconds;
    if (options.until)
        end = std::min(end.value_or(*options.until), *options.until);
    return end;
}

std::string SurveyRecordPath(const std::string& firstProject) {
    const fs::path path(firstProject);
    fs::path name = path.stem();
    name += "-survey.txt";
    return (path.parent_path() / name).string();
}

std::optional<std::int64_t> ParseSurveyStart(const std::string& text) {
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (!line.starts_with(kStartWord))
            continue;
        const char* first = line.data() + kStartWord.size();
        const char* last = line.data() + line.size();
        std::int64_t start = 0;
        const auto [stop, error] = std::from_chars(first, last, start);
        if (error != std::errc{} || stop == first || start <= 0 || (stop != last && *stop != ' '))
            return std::nullopt;
        return start;
    }
    return std::nullopt;
}

std::optional<std::int64_t> ReadSurveyStart(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::string text(kMaxRecordBytes, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    return ParseSurveyStart(text);
}

std::string SurveyHeading(const std::string& firstProject) {
    return "the survey that " + fs::path(firstProject).filename().string() + " begins";
}

std::optional<std::string> WriteSurveyRecord(const std::string& path, const std::string& heading,
                                             const SurveyRecord& record) {
    const std::string text = "# zentra-log: " + heading +
                             ". Remove this file to begin a new one.\n"
                             "start " +
                             std::to_string(record.start) + ' ' + LocalTimeText(record.start) +
                             "\nend " + std::to_string(record.end) + ' ' +
                             LocalTimeText(record.end) + '\n';
    // Written beside, then renamed over: a power cut leaves the old record or the new.
    const std::string temporary = path + ".tmp";
    platform::UniqueFd fd(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    int error = fd.valid() ? platform::WriteAll(fd.get(), text) : errno;
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = errno;
    if (const int closed = fd.Close(); error == 0)
        error = closed;
    if (error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error == 0)
        return std::nullopt;
    ::unlink(temporary.c_str());
    return std::string(std::strerror(error));
}

} // namespace zentra::logger
