#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/clock_ports.h"

namespace chimeon {

// Lists a stored folder path ("\" or "/", resolved ignoring letter case) on the local file
// system: every regular file (hidden ones and those without an extension included; FIFOs and
// devices never, they could block the player), sorted by name ignoring letter case, the order a
// folder copied from Windows showed there.
class FileSystemDirectoryLister : public DirectoryLister {
public:
    std::vector<std::string> ListFiles(std::string_view folder) override;
};

// The seed of a folder's shuffle: seconds since 1970 plus 100 times the day of the month.
std::uint32_t FolderShuffleSeed(std::int64_t epochSeconds, int dayOfMonth);

// Shuffles in place: for i = 1 .. n-1, swaps entries i and j, j uniform in 0..i. The same seed
// always gives the same order.
void ShuffleFolderFiles(std::vector<std::string>& files, std::uint32_t seed);

}  // namespace chimeon
