#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/engine/video_output.h"

class QLabel;
class QPushButton;

namespace chimeon {

class SettingsStore;
class CVideoArea;

// The part of a stored path after its last "/" or "\" (a bare name is its own name).
std::string MediaFileName(std::string_view path);
// "正播：NAME 00:00:30 / 01:02:05" for a position and a length in milliseconds.
std::string PreviewStatusText(std::string_view name, std::int64_t positionMs,
                              std::int64_t lengthMs);

// Where the player draws: pictures arrive on the player's threads (the engine's, the streaming
// thread), are copied there and handed to the display area on the window's thread. Shared with
// the engine, it may outlive the area: once the area is gone, pictures are dropped.
class VideoHandOff : public VideoOutput {
public:
    explicit VideoHandOff(CVideoArea* area) : area_(area) {}
    void Present(const VideoFrame& frame) override;
    void Clear() override;
    // The area is going away (on the window's thread).
    void Detach();

private:
    void Post(QImage picture);

    std::mutex mutex_;  // held only to post
    CVideoArea* area_;
};

// The display area that a video's picture is drawn into.
class CVideoArea : public QWidget {
    Q_OBJECT
public:
    explicit CVideoArea(QWidget* parent = nullptr);
    ~CVideoArea() override;

    // The surface to give the player.
    std::shared_ptr<VideoOutput> output() const { return handOff_; }
    const QImage& picture() const { return picture_; }
    void ShowPicture(QImage picture);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<VideoHandOff> handOff_ = std::make_shared<VideoHandOff>(this);
    QImage picture_;
};

// The small window beside the main window where a video being broadcast is shown, with a status
// line naming the file and its position. It is never destroyed by the operator: closing hides it
// and turns the setting "ShowMedia" off.
class CMediaPreviewDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStatusTimerMs = 750;

    explicit CMediaPreviewDlg(SettingsStore& settings);
    ~CMediaPreviewDlg() override;

    // Sizes the window to `size` (a screen too narrow for it beside the main window), its parts
    // in proportion.
    void Resize(QSize size);
    CVideoArea* displayArea() const { return display_; }
    QLabel* statusLine() const { return status_; }
    const QTimer& statusTimer() const { return statusTimer_; }
    // The answer to statusWanted: the file the player was given last ("" before the first), its
    // position and length.
    void ShowStatus(const std::string& file, std::int64_t positionMs, std::int64_t lengthMs);

signals:
    // Every tick of the status timer: the player's status is wanted (the player is asked on its
    // own thread).
    void statusWanted();
    // The operator closed the window (the settings page clears its box).
    void closedByOperator();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    SettingsStore& settings_;
    CVideoArea* display_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* fullScreen_ = nullptr;
    QTimer statusTimer_;
};

}  // namespace chimeon
