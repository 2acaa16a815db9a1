// Chimeon: start-up and exit of the broadcast scheduler.
#include <QApplication>
#include <QLabel>
#include <QMessageBox>

#include "core/app/app_state.h"
#include "core/app/ini_settings_store.h"
#include "core/app/program_directory.h"
#include "core/app/skin_choice.h"
#include "platform/app/single_instance_lock.h"
#include "ui/app/style_sheet_skinning.h"

int main(int argc, char* argv[]) {
    using namespace chimeon;
    const std::filesystem::path dataDirectory = ProgramDirectory();

    // A second copy ends at once and silently; the first is not disturbed.
    bool lockFailed = false;
    auto instanceLock =
        SingleInstanceLock::TryAcquire(DefaultInstanceLockFile(dataDirectory), &lockFailed);
    if (!instanceLock && !lockFailed) {
        return 0;
    }

    QApplication application(argc, argv);
    AppState state;
    state.servicesStarted = true;
    IniSettingsStore settings(dataDirectory / "setup.ini");

    StyleSheetSkinning skinning;
    SkinChoice skin = ChooseSkin(settings.GetString(settings_key::kSkin, ""),
                                 {dataDirectory / "skin", InstalledSkinFolder()});
    if (skin.message) {
        QMessageBox::warning(nullptr, QStringLiteral("Chimeon"),
                             QString::fromStdString(*skin.message));
        return 0;
    }
    skinning.ApplySkinFile(skin.file);
    state.skinFile = skin.skinFile;
    LoadStartupSettings(settings, state);

    QLabel window(QStringLiteral("Chimeon"));
    window.setWindowTitle(QStringLiteral("Chimeon"));
    window.resize(640, 480);
    window.show();
    int exitCode = application.exec();
    skinning.Shutdown();
    return exitCode;
}
