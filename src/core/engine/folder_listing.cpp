#include "core/engine/folder_listing.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <system_error>

#include "core/io/case_folding_lookup.h"
#include "core/text/ascii_case.h"

namespace chimeon {
namespace {

namespace fs = std::filesystem;

// Bytes compared unsigned, so that the UTF-8 of Chinese names sorts after ASCII.
bool NameBefore(const std::string& a, const std::string& b) {
    auto lessFolded = [](char x, char y) {
        return static_cast<unsigned char>(LowerAscii(x)) <
               static_cast<unsigned char>(LowerAscii(y));
    };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), lessFolded)) {
        return true;
    }
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), lessFolded)) {
        return false;
    }
    return a < b;
}

}  // namespace

std::vector<std::string> FileSystemDirectoryLister::ListFiles(std::string_view folder) {
    std::vector<std::string> files;
    auto resolved = ResolvePathIgnoringCase(folder);
    if (!resolved) {
        return files;
    }
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(*resolved, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError)) {
            names.push_back(it->path().filename().string());
        }
    }
    std::sort(names.begin(), names.end(), NameBefore);
    files.reserve(names.size());
    for (const std::string& name : names) {
        files.push_back((*resolved / name).string());
    }
    return files;
}

std::uint32_t FolderShuffleSeed(std::int64_t epochSeconds, int dayOfMonth) {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(epochSeconds) +
                                      static_cast<std::uint64_t>(100 * dayOfMonth));
}

void ShuffleFolderFiles(std::vector<std::string>& files, std::uint32_t seed) {
    // mt19937 is the same everywhere; the bounded draw is by rejection, so it is exactly uniform
    // and does not depend on the library's distributions.
    std::mt19937 generator(seed);
    for (size_t i = 1; i < files.size(); ++i) {
        std::uint64_t range = i + 1;
        std::uint64_t limit = (std::uint64_t{1} << 32) - (std::uint64_t{1} << 32) % range;
        std::uint64_t draw;
        do {
            draw = generator();
        } while (draw >= limit);
        std::swap(files[i], files[static_cast<size_t>(draw % range)]);
    }
}

}  // namespace chimeon
