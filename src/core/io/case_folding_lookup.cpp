#include "core/io/case_folding_lookup.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "core/io/file_descriptor.h"
#include "core/io/file_problem.h"
#include "core/text/ascii_case.h"

namespace chimeon {
namespace fs = std::filesystem;

namespace {

StoredFileRead Unreadable(std::string problem) {
    return {StoredFileRead::State::kUnreadable, {}, std::move(problem)};
}

// Reads `file`, the name that was asked for or the one spelling of it found in its folder.
StoredFileRead ReadFound(const fs::path& file) {
    int error = 0;
    if (auto bytes = ReadFileBytes(file, &error)) {
        return {StoredFileRead::State::kRead, std::move(*bytes), {}};
    }
    return Unreadable(ReadProblem(file, error));
}

}  // namespace

std::vector<std::string> NamesMatchingIgnoringCase(const fs::path& folder, std::string_view name,
                                                   std::error_code* listError) {
    std::vector<std::string> matches;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string entry = it->path().filename().string();
        if (EqualsIgnoringCase(entry, name)) {
            matches.push_back(std::move(entry));
        }
    }
    if (listError != nullptr) {
        *listError = error;
    }
    std::sort(matches.begin(), matches.end());
    return matches;
}

StoredFileRead ReadStoredFileOrProblem(const fs::path& path) {
    StoredFileRead exact = ReadFound(path);
    struct stat info {};
    if (exact.state == StoredFileRead::State::kRead || ::lstat(path.c_str(), &info) == 0 ||
        errno != ENOENT) {
        // There (a dangling link too), but unreadable: another spelling must not stand in for it.
        return exact;
    }
    fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::error_code listError;
    auto matches = NamesMatchingIgnoringCase(folder, path.filename().string(), &listError);
    if (listError && listError != std::errc::no_such_file_or_directory) {
        return Unreadable("所在的文件夹无法查看（" + FileErrorText(listError.value()) + "）");
    }
    if (matches.empty()) {
        return {};
    }
    if (matches.size() > 1) {
        return Unreadable("有几个名字只差大小写：" + matches[0] + "、" + matches[1]);
    }
    return ReadFound(folder / matches.front());
}

std::optional<std::string> ReadStoredFile(const fs::path& path) {
    StoredFileRead read = ReadStoredFileOrProblem(path);
    if (read.state != StoredFileRead::State::kRead) {
        return std::nullopt;
    }
    return std::move(read.bytes);
}

std::optional<fs::path> ResolvePathIgnoringCase(std::string_view storedPath) {
    std::string normalised(storedPath);
    std::replace(normalised.begin(), normalised.end(), '\\', '/');
    if (normalised.empty()) {
        return std::nullopt;
    }
    std::error_code error;
    fs::path exact(normalised);
    if (fs::exists(exact, error)) {
        return exact;
    }
    fs::path resolved = exact.is_absolute() ? fs::path("/") : fs::path(".");
    for (const fs::path& part : exact.relative_path()) {
        std::string name = part.string();
        if (name.empty() || name == ".") {
            continue;
        }
        fs::path next = resolved / part;
        if (name == ".." || fs::exists(next, error)) {
            resolved = std::move(next);
            continue;
        }
        auto matches = NamesMatchingIgnoringCase(resolved, name);
        if (matches.empty()) {
            return std::nullopt;
        }
        resolved /= matches.front();
    }
    if (!exact.is_absolute()) {
        resolved = resolved.lexically_normal();
    }
    return resolved;
}

}  // namespace chimeon
