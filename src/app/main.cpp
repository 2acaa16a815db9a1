// Chimeon: start-up and exit of the broadcast scheduler.
#include <QApplication>

#include "core/app/app_state.h"
#include "core/app/ini_settings_store.h"
#include "core/app/program_directory.h"
#include "platform/app/single_instance_lock.h"
#include "ui/app/main_dlg.h"
#include "ui/app/startup.h"
#include "ui/app/style_sheet_skinning.h"

int main(int argc, char* argv[]) {
    using namespace chimeon;
    const std::filesystem::path dataDirectory = ProgramDirectory();

    // A second copy ends at once and silently; the first is not disturbed. When the lock file
    // cannot be made at all, running unguarded beats not broadcasting.
    bool lockFailed = false;
    auto instanceLock =
        SingleInstanceLock::TryAcquire(DefaultInstanceLockFile(dataDirectory), &lockFailed);
    if (!instanceLock && !lockFailed) {
        return 0;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Chimeon"));
    // The window spends most of its life hidden in the tray; only the tray menu ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    EndInOrderOnTerminationSignals();

    AppState state;
    state.servicesStarted = true;
    IniSettingsStore settings(dataDirectory / "setup.ini");
    StyleSheetSkinning skinning;
    if (!ApplyStartupSkin(settings, {dataDirectory / "skin", InstalledSkinFolder()}, skinning,
                          state)) {
        return 0;
    }
    LoadStartupSettings(settings, state);

    int exitCode = 0;
    {
        CMainDlg window(state, settings, dataDirectory);
        QObject::connect(&window, &CMainDlg::exitRequested, &application,
                         [] { QCoreApplication::exit(0); });
        window.ShowAtStartup();
        exitCode = application.exec();
    }  // the window takes its tray icon with it
    skinning.Shutdown();
    return exitCode;
}
