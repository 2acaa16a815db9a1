#pragma once

#include "core/app/skinning.h"

namespace chimeon {

// A skin file is a Qt style sheet (UTF-8); applying it restyles every window of the program.
class StyleSheetSkinning : public Skinning {
public:
    bool ApplySkinFile(const std::filesystem::path& file) override;
    void Shutdown() override;
};

}  // namespace chimeon
