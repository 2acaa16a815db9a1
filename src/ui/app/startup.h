#pragma once

#include <filesystem>
#include <vector>

#include "core/app/app_state.h"
#include "core/app/settings_store.h"
#include "core/app/skinning.h"

class QCoreApplication;
class QTranslator;

namespace chimeon {

// Chooses the skin from the "Skin" setting and the skin folders and applies it, recording its
// name in the state. With no skin at all it shows the message of the branch and returns false:
// the program then ends without a window.
bool ApplyStartupSkin(const SettingsStore& settings,
                      const std::vector<std::filesystem::path>& skinFolders, Skinning& skinning,
                      AppState& state);

// Qt's own buttons and dialogs in Chinese ("确定", "是/否", the file dialog): Qt's translation of
// its base module, installed in the application. Null when it is not installed on this machine
// (Qt's English texts stay).
QTranslator* LoadQtChineseTranslations(QCoreApplication& application);

// SIGTERM, SIGINT and SIGHUP end the program in order (tray icon removed, look reset) through the
// event loop instead of killing it mid-step. Call once, after the application object exists.
void EndInOrderOnTerminationSignals();

}  // namespace chimeon
