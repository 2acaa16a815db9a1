#pragma once

class QWidget;

namespace chimeon {

// Shows the preview window at the left of the usable screen area, vertically centred, and puts
// the main window (when there is one) beside it, both kept on the screen.
void ShowPreviewBesideMain(QWidget& preview, QWidget* mainWindow);

}  // namespace chimeon
