#include "daemon/engine_blocker.h"

#include "app/window_blocker.h"

namespace chimeon {

EngineBlocker::EngineBlocker(QThread* engineThread, const std::filesystem::path& dataDirectory)
    : poll_(engineThread, 100, [dataDirectory] {
          HoldThreadOnRequest(dataDirectory, "block-engine.txt", "engine-blocked.txt");
      }) {}

}  // namespace chimeon
