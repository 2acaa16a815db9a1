#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/engine/video_output.h"

class QLabel;
class QPushButton;

namespace chimeon {

class MediaPlayer;
class SettingsStore;

// The part of a stored path after its last "/" or "\" (a bare name is its own name).
std::string MediaFileName(std::string_view path);
// "正播：NAME 00:00:30 / 01:02:05" for a position and a length in milliseconds.
std::string PreviewStatusText(std::string_view name, std::int64_t positionMs,
                              std::int64_t lengthMs);

// The display area that a video's picture is drawn into. Pictures arrive on the player's
// streaming thread: each is copied there and handed to the window's thread to be painted.
class CVideoArea : public QWidget, public VideoOutput {
    Q_OBJECT
public:
    explicit CVideoArea(QWidget* parent = nullptr);

    void Present(const VideoFrame& frame) override;
    void Clear() override;
    const QImage& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

// The small window beside the main window where a video being broadcast is shown, with a status
// line naming the file and its position. It is never destroyed by the operator: closing hides it
// and turns the setting "ShowMedia" off.
class CMediaPreviewDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStatusTimerMs = 750;

    // `fileName` gives the file the player was last given ("" before the first).
    CMediaPreviewDlg(MediaPlayer& player, std::function<std::string()> fileName,
                     SettingsStore& settings);
    ~CMediaPreviewDlg() override;

    CVideoArea* displayArea() const { return display_; }
    QLabel* statusLine() const { return status_; }
    const QTimer& statusTimer() const { return statusTimer_; }
    // One tick of the status timer.
    void UpdateStatus();

signals:
    // The operator closed the window (the settings page clears its box).
    void closedByOperator();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    MediaPlayer& player_;
    std::function<std::string()> fileName_;
    SettingsStore& settings_;
    CVideoArea* display_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* fullScreen_ = nullptr;
    QTimer statusTimer_;
};

}  // namespace chimeon
