#include "core/app/program_version.h"

#include "core/system/login_session.h"

#ifndef CHIMEON_VERSION
#error "CHIMEON_VERSION comes from the project's version in CMakeLists.txt"
#endif

namespace chimeon {

std::string_view ProgramVersion() {
    return CHIMEON_VERSION;
}

std::string ProductVersionText() {
    return std::string(kMainWindowTitle) + "  V" + std::string(ProgramVersion());
}

}  // namespace chimeon
