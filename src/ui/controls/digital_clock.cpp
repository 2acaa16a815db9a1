#include "ui/controls/digital_clock.h"

#include <QPainter>
#include <QPainterPath>
#include <cstdio>

#include "ui/controls/controls_accessible.h"

namespace chimeon {

namespace {

const QColor kFaceColor(0x10, 0x18, 0x14);
const QColor kLitColor(0x4c, 0xf0, 0x7a);
const QColor kUnlitColor(0x1e, 0x34, 0x26);

// Segments a..g of a seven-segment digit, lit for each of 0-9.
constexpr unsigned char kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                         0x6D, 0x7D, 0x07, 0x7F, 0x6F};

void PaintDigit(QPainter& painter, const QRectF& cell, int digit) {
    const qreal t = std::max<qreal>(2.0, cell.width() / 6.0);  // segment thickness
    const qreal l = cell.left() + t / 2 + 1, r = cell.right() - t / 2 - 1;
    const qreal top = cell.top() + t / 2 + 1, bottom = cell.bottom() - t / 2 - 1;
    const qreal mid = (top + bottom) / 2;
    const QLineF segments[7] = {
        {l + t / 2, top, r - t / 2, top},    {r, top + t / 2, r, mid - t / 2},
        {r, mid + t / 2, r, bottom - t / 2}, {l + t / 2, bottom, r - t / 2, bottom},
        {l, mid + t / 2, l, bottom - t / 2}, {l, top + t / 2, l, mid - t / 2},
        {l + t / 2, mid, r - t / 2, mid},
    };
    for (int s = 0; s < 7; ++s) {
        const bool lit = (kSegments[digit] >> s) & 1;
        painter.setPen(QPen(lit ? kLitColor : kUnlitColor, t, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(segments[s]);
    }
}

}  // namespace

ClockDigits ComputeClockDigits(const LocalDateTime& now, int dateOrder) {
    char date[32];
    char time[32];
    const bool monthFirst = dateOrder == 1;
    std::snprintf(date, sizeof date, "%02d-%02d-%04d", monthFirst ? now.month : now.day,
                  monthFirst ? now.day : now.month, now.year);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", now.hour, now.minute, now.second);
    ClockDigits digits;
    const int datePositions[8] = {0, 1, 3, 4, 6, 7, 8, 9};
    const int timePositions[6] = {0, 1, 3, 4, 6, 7};
    // A value out of its range (a year past 9999) shows 0 rather than a picture that is not there.
    auto digitAt = [](const char* text, int position) {
        const char c = text[position];
        return c >= '0' && c <= '9' ? c - '0' : 0;
    };
    for (int i = 0; i < 8; ++i) {
        digits.date[static_cast<std::size_t>(i)] = digitAt(date, datePositions[i]);
    }
    for (int i = 0; i < 6; ++i) {
        digits.time[static_cast<std::size_t>(i)] = digitAt(time, timePositions[i]);
    }
    return digits;
}

CDigitalClock::CDigitalClock(QWidget* parent) : QWidget(parent) {
    InstallControlsAccessibility();
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    refresh_.setInterval(kRefreshMs);
    connect(&refresh_, &QTimer::timeout, this, &CDigitalClock::Update);
}

QString CDigitalClock::ShownText() const {
    QString text;
    for (std::size_t i = 0; i < digits_.date.size(); ++i) {
        text +=
            QString::number(digits_.date[i]) + (i == 1 || i == 3 ? QStringLiteral("-") : QString());
    }
    text += QLatin1Char(' ');
    for (std::size_t i = 0; i < digits_.time.size(); ++i) {
        text +=
            QString::number(digits_.time[i]) + (i == 1 || i == 3 ? QStringLiteral(":") : QString());
    }
    return text;
}

QPixmap CDigitalClock::MakeDigitStrip(int digitWidth, int digitHeight) {
    QPixmap strip(10 * digitWidth, digitHeight);
    strip.fill(kFaceColor);
    QPainter painter(&strip);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int digit = 0; digit < 10; ++digit) {
        PaintDigit(painter, QRectF(digit * digitWidth, 0, digitWidth, digitHeight), digit);
    }
    return strip;
}

QPixmap CDigitalClock::MakeFace() {
    QPixmap face(kFaceWidth, kFaceHeight);
    face.fill(kFaceColor);
    QPainter painter(&face);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kUnlitColor, 1));
    painter.drawRoundedRect(QRectF(0.5, 0.5, kFaceWidth - 1, kFaceHeight - 1), 4, 4);
    // Date separators between day, month and year, and the colon between hours and minutes.
    painter.fillRect(QRectF(33, 12.5, 6, 2), kLitColor);
    painter.fillRect(QRectF(69, 12.5, 6, 2), kLitColor);
    painter.setBrush(kLitColor);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(60.5, 43), 2, 2);
    painter.drawEllipse(QPointF(60.5, 57), 2, 2);
    return face;
}

int CDigitalClock::Start(const LocalClock* clock, int dateOrder) {
    if (IsRunning()) {
        return 0;
    }
    face_ = MakeFace();
    bigDigits_ = MakeDigitStrip(kBigDigitWidth, kBigDigitHeight);
    smallDigits_ = MakeDigitStrip(kSmallDigitWidth, kSmallDigitHeight);
    if (clock == nullptr || face_.isNull() || bigDigits_.isNull() || smallDigits_.isNull()) {
        face_ = bigDigits_ = smallDigits_ = QPixmap();
        return 1;
    }
    clock_ = clock;
    dateOrder_ = dateOrder;
    resize(face_.size());
    Update();
    refresh_.start();
    return 0;
}

void CDigitalClock::Stop() {
    refresh_.stop();
}

void CDigitalClock::Update() {
    if (clock_ == nullptr) {
        return;
    }
    digits_ = ComputeClockDigits(clock_->Now(), dateOrder_);
    update();
}

void CDigitalClock::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (face_.isNull()) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    QPixmap composed = face_;
    {
        QPainter face(&composed);
        auto big = [&](int x, int digit) {
            face.drawPixmap(x, 33, bigDigits_, digit * kBigDigitWidth, 0, kBigDigitWidth,
                            kBigDigitHeight);
        };
        auto small = [&](int x, int y, int digit) {
            face.drawPixmap(x, y, smallDigits_, digit * kSmallDigitWidth, 0, kSmallDigitWidth,
                            kSmallDigitHeight);
        };
        big(5, digits_.time[0]);
        big(32, digits_.time[1]);
        big(65, digits_.time[2]);
        big(92, digits_.time[3]);
        small(120, 50, digits_.time[4]);
        small(134, 50, digits_.time[5]);
        const int dateX[8] = {5, 19, 41, 55, 77, 91, 105, 119};
        for (std::size_t i = 0; i < 8; ++i) {
            small(dateX[i], 5, digits_.date[i]);
        }
    }
    painter.drawPixmap(0, 0, composed);
}

}  // namespace chimeon
