#pragma once

#include <filesystem>

namespace chimeon {

// The look of every window. A skin file is applied to the whole program at once.
class Skinning {
public:
    virtual ~Skinning() = default;
    // The result is not relied on: a skin that cannot be used leaves the current look.
    virtual bool ApplySkinFile(const std::filesystem::path& file) = 0;
    virtual void Shutdown() = 0;
};

}  // namespace chimeon
