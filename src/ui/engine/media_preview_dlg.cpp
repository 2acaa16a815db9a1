#include "ui/engine/media_preview_dlg.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTransform>
#include <cstdio>

#include "core/app/settings_store.h"
#include "ui/app/dialog_units.h"

namespace chimeon {

namespace {
constexpr QSize kDialogSize(208, 163);  // dialog units
}  // namespace

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

void VideoHandOff::Present(const VideoFrame& frame) {
    if (frame.data == nullptr || frame.width <= 0 || frame.height <= 0 || frame.stride <= 0) {
        return;
    }
    // The frame's bytes belong to the player only for this call.
    Post(QImage(frame.data, frame.width, frame.height, frame.stride, QImage::Format_RGB32).copy());
}

void VideoHandOff::Clear() {
    Post(QImage());
}

void VideoHandOff::Detach() {
    const std::lock_guard lock(mutex_);
    area_ = nullptr;
}

void VideoHandOff::Post(QImage picture) {
    const std::lock_guard lock(mutex_);
    if (area_ != nullptr) {
        CVideoArea* area = area_;
        QMetaObject::invokeMethod(
            area, [area, picture = std::move(picture)]() mutable { area->ShowPicture(picture); },
            Qt::QueuedConnection);
    }
}

CVideoArea::CVideoArea(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CVideoArea::~CVideoArea() {
    handOff_->Detach();
}

void CVideoArea::ShowPicture(QImage picture) {
    picture_ = std::move(picture);
    update();
}

void CVideoArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!picture_.isNull()) {
        painter.drawImage(rect(), picture_);
    }
}

CMediaPreviewDlg::CMediaPreviewDlg(SettingsStore& settings)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      settings_(settings) {
    setWindowTitle(QStringLiteral("视频媒体预览窗口"));
    setFont(DialogFont());
    display_ = new CVideoArea(this);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("previewStatus"));
    status_->setAlignment(Qt::AlignCenter);
    status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // Part of the window's layout, but it has no function: made hidden and disabled.
    fullScreen_ = new QPushButton(QStringLiteral("全屏"), this);
    fullScreen_->setEnabled(false);
    fullScreen_->hide();
    Resize(MapDialogSize(kDialogSize, BaseUnitsOf(font())));

    connect(&statusTimer_, &QTimer::timeout, this, &CMediaPreviewDlg::statusWanted);
    statusTimer_.start(kStatusTimerMs);
    ShowStatus({}, 0, 0);
}

void CMediaPreviewDlg::Resize(QSize size) {
    const DialogBaseUnits units = BaseUnitsOf(font());
    const QSize full = MapDialogSize(kDialogSize, units);
    const QTransform scaled =
        QTransform::fromScale(static_cast<double>(size.width()) / full.width(),
                              static_cast<double>(size.height()) / full.height());
    auto place = [&](const QRect& dialogUnits) {
        return scaled.mapRect(MapDialogRect(dialogUnits, units));
    };
    setFixedSize(size);
    display_->setGeometry(place(QRect(4, 4, 200, 138)));
    status_->setGeometry(place(QRect(4, 145, 200, 14)));
    fullScreen_->setGeometry(place(QRect(4, 136, 55, 14)));
}

CMediaPreviewDlg::~CMediaPreviewDlg() {
    statusTimer_.stop();
}

void CMediaPreviewDlg::ShowStatus(const std::string& file, std::int64_t positionMs,
                                  std::int64_t lengthMs) {
    status_->setText(
        QString::fromStdString(PreviewStatusText(MediaFileName(file), positionMs, lengthMs)));
}

void CMediaPreviewDlg::closeEvent(QCloseEvent* event) {
    // Hidden, never destroyed: the player keeps drawing into the display area.
    event->ignore();
    hide();
    (void)settings_.WriteInt(settings_key::kShowMedia, 0);
    emit closedByOperator();
}

}  // namespace chimeon
