#include "ui/app/startup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <csignal>

#include "broadcaster/signal_route.h"
#include "core/app/skin_choice.h"
#include "ui/app/message_box.h"

namespace chimeon {

bool ApplyStartupSkin(const SettingsStore& settings,
                      const std::vector<std::filesystem::path>& skinFolders, Skinning& skinning,
                      AppState& state) {
    const SkinChoice skin = ChooseSkin(settings.GetString(settings_key::kSkin, ""), skinFolders);
    if (skin.message) {
        ShowMessage(nullptr, QString::fromStdString(*skin.message));
        return false;
    }
    // A skin that cannot be used leaves the plain look; start-up goes on.
    skinning.ApplySkinFile(skin.file);
    state.skinFile = skin.skinFile;
    return true;
}

QTranslator* LoadQtChineseTranslations(QCoreApplication& application) {
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}

void EndInOrderOnTerminationSignals() {
    RouteSignalsToEventLoop({SIGTERM, SIGINT, SIGHUP}, [](int) { QCoreApplication::exit(0); });
}

}  // namespace chimeon
