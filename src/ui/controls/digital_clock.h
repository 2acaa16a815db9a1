#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <array>

#include "core/system/local_clock.h"

namespace chimeon {

// The digits a clock face shows for a moment: date as "dd-mm-yyyy" (or "mm-dd-yyyy" when the
// date order is 1) and time as "hh:mm:ss", each without its separators.
struct ClockDigits {
    std::array<int, 8> date{};
    std::array<int, 6> time{};
    bool operator==(const ClockDigits&) const = default;
};
ClockDigits ComputeClockDigits(const LocalDateTime& now, int dateOrder);

// The date-and-time display: digit pictures composed on a face, refreshed once a second by a
// timer on the window's own thread. It reads the time only from the clock it is given.
class CDigitalClock : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 1000;
    // Sizes of the pictures, pixels.
    static constexpr int kFaceWidth = 151, kFaceHeight = 72;
    static constexpr int kBigDigitWidth = 24, kBigDigitHeight = 34;
    static constexpr int kSmallDigitWidth = 12, kSmallDigitHeight = 17;

    explicit CDigitalClock(QWidget* parent = nullptr);

    // 0 when running (or already running), 1 when the pictures cannot be made.
    int Start(const LocalClock* clock, int dateOrder);
    void Stop();
    bool IsRunning() const { return refresh_.isActive(); }
    // Reads the clock into the digits and repaints.
    void Update();

    const ClockDigits& digits() const { return digits_; }
    // What the face shows, as text: "dd-mm-yyyy hh:mm:ss" (month first with date order 1).
    QString ShownText() const;
    const QTimer& refreshTimer() const { return refresh_; }
    // The pictures, made in code: the face with its separators and the two digit strips (0-9
    // side by side).
    static QPixmap MakeFace();
    static QPixmap MakeDigitStrip(int digitWidth, int digitHeight);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const LocalClock* clock_ = nullptr;
    int dateOrder_ = 0;
    ClockDigits digits_;
    QTimer refresh_;
    QPixmap face_;
    QPixmap bigDigits_;
    QPixmap smallDigits_;
};

}  // namespace chimeon
