#include "ui/engine/media_preview_dlg.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <cstdio>

#include "core/app/settings_store.h"
#include "core/engine/media_player.h"
#include "ui/app/dialog_units.h"

namespace chimeon {

std::string MediaFileName(std::string_view path) {
    const auto separator = path.find_last_of("/\\");
    return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

std::string PreviewStatusText(std::string_view name, std::int64_t positionMs,
                              std::int64_t lengthMs) {
    auto clock = [](std::int64_t ms) {
        if (ms < 0) {
            ms = 0;
        }
        char text[32];
        std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld",
                      static_cast<long long>(ms / 3600000),
                      static_cast<long long>(ms % 3600000 / 60000),
                      static_cast<long long>(ms % 3600000 % 60000 / 1000));
        return std::string(text);
    };
    return "正播：" + std::string(name) + " " + clock(positionMs) + " / " + clock(lengthMs);
}

CVideoArea::CVideoArea(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CVideoArea::Present(const VideoFrame& frame) {
    if (frame.data == nullptr || frame.width <= 0 || frame.height <= 0 || frame.stride <= 0) {
        return;
    }
    // The frame's bytes belong to the player only for this call.
    QImage copy =
        QImage(frame.data, frame.width, frame.height, frame.stride, QImage::Format_RGB32).copy();
    QMetaObject::invokeMethod(
        this,
        [this, copy = std::move(copy)]() mutable {
            picture_ = std::move(copy);
            update();
        },
        Qt::QueuedConnection);
}

void CVideoArea::Clear() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            picture_ = QImage();
            update();
        },
        Qt::QueuedConnection);
}

void CVideoArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!picture_.isNull()) {
        painter.drawImage(rect(), picture_);
    }
}

CMediaPreviewDlg::CMediaPreviewDlg(MediaPlayer& player, std::function<std::string()> fileName,
                                   SettingsStore& settings)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      player_(player),
      fileName_(std::move(fileName)),
      settings_(settings) {
    setWindowTitle(QStringLiteral("视频媒体预览窗口"));
    setFont(DialogFont());
    const DialogBaseUnits units = BaseUnitsOf(font());
    setFixedSize(MapDialogSize(QSize(208, 163), units));

    display_ = new CVideoArea(this);
    display_->setGeometry(MapDialogRect(QRect(4, 4, 200, 138), units));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("previewStatus"));
    status_->setAlignment(Qt::AlignCenter);
    status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status_->setGeometry(MapDialogRect(QRect(4, 145, 200, 14), units));
    // Part of the window's layout, but it has no function: made hidden and disabled.
    fullScreen_ = new QPushButton(QStringLiteral("全屏"), this);
    fullScreen_->setGeometry(MapDialogRect(QRect(4, 136, 55, 14), units));
    fullScreen_->setEnabled(false);
    fullScreen_->hide();

    connect(&statusTimer_, &QTimer::timeout, this, &CMediaPreviewDlg::UpdateStatus);
    statusTimer_.start(kStatusTimerMs);
    UpdateStatus();
}

CMediaPreviewDlg::~CMediaPreviewDlg() {
    statusTimer_.stop();
}

void CMediaPreviewDlg::UpdateStatus() {
    const std::int64_t position = player_.GetPosition();
    const std::int64_t length = player_.GetLength();
    const std::string text = PreviewStatusText(MediaFileName(fileName_()), position, length);
    status_->setText(QString::fromStdString(text));
}

void CMediaPreviewDlg::closeEvent(QCloseEvent* event) {
    // Hidden, never destroyed: the player keeps drawing into the display area.
    event->ignore();
    hide();
    (void)settings_.WriteInt(settings_key::kShowMedia, 0);
    emit closedByOperator();
}

}  // namespace chimeon
