#pragma once

class QWidget;

namespace chimeon {
class CMediaPreviewDlg;
}

namespace chimeon {

// Shows the preview window at the left of the usable screen area, vertically centred, and puts
// the main window (when there is one) beside it, both kept on the screen; a preview too wide for
// the room beside the main window is made smaller.
void ShowPreviewBesideMain(CMediaPreviewDlg& preview, QWidget* mainWindow);

}  // namespace chimeon
