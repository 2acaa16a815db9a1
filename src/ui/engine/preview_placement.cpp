#include "ui/engine/preview_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "core/app/window_placement.h"
#include "ui/engine/media_preview_dlg.h"

namespace chimeon {

void ShowPreviewBesideMain(CMediaPreviewDlg& preview, QWidget* mainWindow) {
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect();
    // Frames as far as they are known (before the first show, the windows' own sizes).
    const QSize previewSize = preview.frameGeometry().size();
    const QSize mainSize = mainWindow != nullptr ? mainWindow->frameGeometry().size() : QSize();
    const PreviewAndMainPlacement placement = PlaceBesidePreview(
        {area.x(), area.y(), area.width(), area.height()},
        {previewSize.width(), previewSize.height()}, {mainSize.width(), mainSize.height()});
    if (placement.previewSize.width < previewSize.width()) {
        preview.Resize(QSize(placement.previewSize.width, placement.previewSize.height));
    }
    preview.move(placement.preview.x, placement.preview.y);
    preview.show();
    if (mainWindow != nullptr) {
        mainWindow->move(placement.main.x, placement.main.y);
    }
}

}  // namespace chimeon
