#include "ui/controls/gfx_out_bar_ctrl.h"

#include <QCursor>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <algorithm>

#include "ui/controls/controls_accessible.h"

namespace chimeon {

namespace {
constexpr int kTopMargin = 5;
constexpr int kLabelGap = 3;
constexpr int kItemSpacing = 8;
constexpr QSize kIconSize(32, 32);
constexpr int kArrowMargin = 5;
constexpr int kBounceCycle = 11;
}  // namespace

CGfxOutBarCtrl::CGfxOutBarCtrl(QWidget* parent) : QWidget(parent) {
    InstallControlsAccessibility();
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    hoverTimer_.setInterval(kHoverWatchMs);
    arrowTimer_.setInterval(kArrowRepeatMs);
    connect(&hoverTimer_, &QTimer::timeout, this, &CGfxOutBarCtrl::OnHoverWatch);
    connect(&arrowTimer_, &QTimer::timeout, this, &CGfxOutBarCtrl::OnArrowRepeat);
    connect(&bounceTimer_, &QTimer::timeout, this, &CGfxOutBarCtrl::OnBounceTimer);
    connect(&animationTimer_, &QTimer::timeout, this, &CGfxOutBarCtrl::OnAnimationFrame);
    connect(this, &CGfxOutBarCtrl::colorsChanged, this, qOverload<>(&QWidget::update));
}

int CGfxOutBarCtrl::AddFolder(const QString& text) {
    folders_.push_back(OutBarFolder{text, {}});
    update();
    return static_cast<int>(folders_.size()) - 1;
}

int CGfxOutBarCtrl::AddItem(int folder, const QString& text, int image) {
    if (folder < 0 || folder >= FolderCount()) {
        return -1;
    }
    auto& items = folders_[static_cast<std::size_t>(folder)].items;
    items.push_back(OutBarItem{image, text});
    update();
    return static_cast<int>(items.size()) - 1;
}

void CGfxOutBarCtrl::SetIcons(const QList<QIcon>& icons) {
    icons_ = icons;
    update();
}

int CGfxOutBarCtrl::ItemCount() const {
    return FolderItemCount(openFolder_);
}

QString CGfxOutBarCtrl::ItemText(int index) const {
    return FolderItemText(openFolder_, index);
}

QString CGfxOutBarCtrl::FolderText(int folder) const {
    return folder >= 0 && folder < FolderCount() ? folders_[static_cast<std::size_t>(folder)].name
                                                 : QString();
}

int CGfxOutBarCtrl::FolderItemCount(int folder) const {
    if (folder < 0 || folder >= FolderCount()) {
        return 0;
    }
    return static_cast<int>(folders_[static_cast<std::size_t>(folder)].items.size());
}

QString CGfxOutBarCtrl::FolderItemText(int folder, int index) const {
    if (index < 0 || index >= FolderItemCount(folder)) {
        return QString();
    }
    return folders_[static_cast<std::size_t>(folder)].items[static_cast<std::size_t>(index)].label;
}

void CGfxOutBarCtrl::SetBouncePeriod(int ms) {
    if (ms > 0) {
        bounceTimer_.start(ms);
    } else {
        bounceTimer_.stop();
    }
}

// ---- geometry ----

QRect CGfxOutBarCtrl::FolderRect(int folder) const {
    const int n = FolderCount();
    if (folder < 0 || folder >= n) {
        return QRect();
    }
    if (folder <= openFolder_) {
        return QRect(0, folder * kFolderHeight - 1, width(), kFolderHeight);
    }
    return QRect(0, height() - (n - folder) * kFolderHeight, width(), kFolderHeight);
}

QRect CGfxOutBarCtrl::ItemArea() const {
    const int n = FolderCount();
    if (n == 0) {
        return rect();
    }
    const int top = (openFolder_ + 1) * kFolderHeight - 1;
    const int bottom = height() - (n - openFolder_ - 1) * kFolderHeight;
    return QRect(0, top, width(), std::max(0, bottom - top));
}

QRect CGfxOutBarCtrl::LabelRect(const QString& label) const {
    QFontMetrics metrics(font());
    return metrics.boundingRect(QRect(0, 0, std::max(1, width()), 10000),
                                Qt::AlignHCenter | Qt::TextWordWrap, label);
}

QRect CGfxOutBarCtrl::ItemRectFrom(int index, int firstVisible) const {
    if (index < firstVisible || index >= ItemCount()) {
        return QRect();
    }
    const QRect area = ItemArea();
    const auto& items = folders_[static_cast<std::size_t>(openFolder_)].items;
    int y = area.top() + kTopMargin;
    for (int i = firstVisible;; ++i) {
        const QRect label = LabelRect(items[static_cast<std::size_t>(i)].label);
        const int w = std::max(kIconSize.width(), label.width());
        const QRect item(area.left() + (area.width() - w) / 2, y, w,
                         kIconSize.height() + kLabelGap + label.height());
        if (i == index) {
            return item;
        }
        y += item.height() + kItemSpacing;
    }
}

QRect CGfxOutBarCtrl::ItemRect(int index) const {
    return ItemRectFrom(index, firstVisible_);
}

int CGfxOutBarCtrl::LastItemBottom() const {
    const int count = ItemCount();
    return count == 0 ? 0 : ItemRectFrom(count - 1, std::min(firstVisible_, count - 1)).bottom();
}

QRect CGfxOutBarCtrl::UpArrowRect() const {
    const int size = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const QRect area = ItemArea();
    return QRect(width() - kArrowMargin - size, area.top() + kArrowMargin, size, size);
}

QRect CGfxOutBarCtrl::DownArrowRect() const {
    const int size = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const QRect area = ItemArea();
    return QRect(width() - kArrowMargin - size, area.bottom() + 1 - kArrowMargin - size, size,
                 size);
}

bool CGfxOutBarCtrl::IsUpArrowShown() const {
    return firstVisible_ > 0;
}

bool CGfxOutBarCtrl::IsDownArrowShown() const {
    return ItemCount() > 0 && firstVisible_ < ItemCount() - 1 &&
           LastItemBottom() > ItemArea().bottom();
}

CGfxOutBarCtrl::HitResult CGfxOutBarCtrl::HitTest(const QPoint& point) const {
    if (IsUpArrowShown() && UpArrowRect().contains(point)) {
        return {Hit::kUpArrow, 0};
    }
    if (IsDownArrowShown() && DownArrowRect().contains(point)) {
        return {Hit::kDownArrow, 0};
    }
    for (int i = 0; i < FolderCount(); ++i) {
        if (FolderRect(i).contains(point)) {
            return {Hit::kFolder, i};
        }
    }
    const QRect area = ItemArea();
    if (!area.contains(point)) {
        return {};
    }
    for (int i = firstVisible_; i < ItemCount(); ++i) {
        const QRect item = ItemRect(i);
        if (item.top() > area.bottom()) {
            break;
        }
        if (item.contains(point)) {
            return {Hit::kItem, i};
        }
    }
    return {};
}

QPoint CGfxOutBarCtrl::BounceOffset() const {
    if (bounceTimer_.isActive() && chosenItem_ >= 0) {
        if (bounceStep_ == 1) {  // the step just drawn was 0
            return QPoint(-1, 1);
        }
        if (bounceStep_ == 3) {
            return QPoint(1, 1);
        }
    }
    return QPoint(0, 0);
}

// ---- actions ----

void CGfxOutBarCtrl::SelectFolder(int index) {
    if (index < 0 || index >= FolderCount()) {
        return;
    }
    const bool animate =
        index != openFolder_ && slideDelay_ >= 0 && isVisible() && !ItemArea().isEmpty();
    if (animate) {
        animationFrom_ = QPixmap(ItemArea().size());
        QPainter painter(&animationFrom_);
        painter.translate(-ItemArea().topLeft());
        PaintContent(painter, openFolder_, firstVisible_);
    }
    animationDownwards_ = index < openFolder_;
    openFolder_ = index;
    firstVisible_ = 0;
    chosenItem_ = -1;
    hoveredItem_ = -1;
    hoveredFolder_ = -1;
    if (animate) {
        animationTo_ = QPixmap(ItemArea().size());
        QPainter painter(&animationTo_);
        painter.translate(-ItemArea().topLeft());
        PaintContent(painter, openFolder_, firstVisible_);
        animationOffset_ = 0;
        animationDistance_ = ItemArea().height();
        animationTimer_.start(std::max(1, slideDelay_));
    }
    emit folderOpened(index);
    update();
}

void CGfxOutBarCtrl::OnAnimationFrame() {
    animationOffset_ += kFolderHeight;
    if (animationOffset_ >= animationDistance_) {
        animationTimer_.stop();
        animationFrom_ = QPixmap();
        animationTo_ = QPixmap();
    }
    update();
}

void CGfxOutBarCtrl::ScrollUp() {
    if (firstVisible_ > 0) {
        --firstVisible_;
        update();
    }
}

void CGfxOutBarCtrl::ScrollDown() {
    if (IsDownArrowShown()) {
        ++firstVisible_;
        update();
    }
}

void CGfxOutBarCtrl::ClearHover() {
    hoveredFolder_ = -1;
    hoveredItem_ = -1;
    hoverTimer_.stop();
    update();
}

void CGfxOutBarCtrl::OnHoverWatch() {
    if (!rect().contains(mapFromGlobal(QCursor::pos()))) {
        ClearHover();
    }
}

void CGfxOutBarCtrl::OnArrowRepeat() {
    if (!pressedOver_) {
        return;
    }
    if (pressed_.kind == Hit::kUpArrow) {
        ScrollUp();
    } else if (pressed_.kind == Hit::kDownArrow) {
        ScrollDown();
    }
}

void CGfxOutBarCtrl::OnBounceTimer() {
    if (chosenItem_ < 0) {
        return;
    }
    const int drawn = bounceStep_;
    bounceStep_ = (bounceStep_ + 1) % kBounceCycle;
    if (drawn >= 0 && drawn <= 3) {
        update(ItemRect(chosenItem_).adjusted(-4, -4, 4, 4));
    }
}

void CGfxOutBarCtrl::ChooseItem(int index) {
    if (chosenItem_ != index) {
        bounceStep_ = 0;
    }
    chosenItem_ = index;
    emit itemActivated(index);
}

void CGfxOutBarCtrl::PressItem(int folder, int index) {
    if (index < 0 || index >= FolderItemCount(folder)) {
        return;
    }
    if (folder != openFolder_) {
        SelectFolder(folder);
    }
    ChooseItem(index);
    update();
}

// ---- mouse ----

void CGfxOutBarCtrl::mouseMoveEvent(QMouseEvent* event) {
    const HitResult hit = HitTest(event->position().toPoint());
    if ((event->buttons() & Qt::LeftButton) && pressed_.kind != Hit::kNothing) {
        const bool over = hit.kind == pressed_.kind && hit.index == pressed_.index;
        if (over != pressedOver_) {
            pressedOver_ = over;
            update();
        }
        return;
    }
    const int folder = hit.kind == Hit::kFolder ? hit.index : -1;
    const int item = hit.kind == Hit::kItem ? hit.index : -1;
    if (folder != hoveredFolder_ || item != hoveredItem_) {
        hoveredFolder_ = folder;
        hoveredItem_ = item;
        update();
    }
    if (folder >= 0 || item >= 0) {
        hoverTimer_.start();
    }
    if (folder >= 0) {
        setCursor(Qt::PointingHandCursor);
    } else {
        unsetCursor();
    }
}

void CGfxOutBarCtrl::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressed_ = HitTest(event->position().toPoint());
    pressedOver_ = true;
    if (pressed_.kind == Hit::kUpArrow || pressed_.kind == Hit::kDownArrow) {
        arrowTimer_.start();
    }
    update();
}

void CGfxOutBarCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || pressed_.kind == Hit::kNothing) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const HitResult hit = HitTest(event->position().toPoint());
    const HitResult pressed = std::exchange(pressed_, HitResult{});
    const bool over = hit.kind == pressed.kind && hit.index == pressed.index;
    arrowTimer_.stop();
    switch (pressed.kind) {
        case Hit::kItem:
            if (over) {  // released elsewhere: nothing chosen
                ChooseItem(pressed.index);
            }
            break;
        case Hit::kFolder:
            if (over && pressed.index != openFolder_) {
                SelectFolder(pressed.index);
            }
            break;
        case Hit::kUpArrow:
            if (over) {
                ScrollUp();
            }
            break;
        case Hit::kDownArrow:
            if (over) {
                ScrollDown();
            }
            break;
        case Hit::kNothing:
            break;
    }
    update();
}

void CGfxOutBarCtrl::leaveEvent(QEvent* event) {
    ClearHover();
    QWidget::leaveEvent(event);
}

void CGfxOutBarCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    update();
}

// ---- painting ----

void CGfxOutBarCtrl::PaintFolder(QPainter& painter, int folder, bool held, bool hovered) {
    const QRect r = FolderRect(folder);
    painter.fillRect(r, held      ? folderColor_.darker(110)
                        : hovered ? folderColor_.lighter(106)
                                  : folderColor_);
    const QColor topLeft = held ? shadowColor_ : lightColor_;
    const QColor bottomRight = held ? lightColor_ : shadowColor_;
    painter.setPen(topLeft);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
    painter.setPen(folderTextColor_);
    painter.drawText(r.translated(held ? 1 : 0, held ? 1 : 0), Qt::AlignCenter | Qt::TextSingleLine,
                     folders_[static_cast<std::size_t>(folder)].name);
}

void CGfxOutBarCtrl::PaintArrow(QPainter& painter, const QRect& r, bool up, bool pressed) {
    painter.fillRect(r, pressed ? folderColor_.darker(115) : folderColor_);
    painter.setPen(pressed ? shadowColor_ : lightColor_);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    QPainterPath triangle;
    const QPointF c = QRectF(r).center();
    const qreal s = r.width() / 4.0;
    if (up) {
        triangle.moveTo(c.x() - s, c.y() + s / 2);
        triangle.lineTo(c.x() + s, c.y() + s / 2);
        triangle.lineTo(c.x(), c.y() - s / 2);
    } else {
        triangle.moveTo(c.x() - s, c.y() - s / 2);
        triangle.lineTo(c.x() + s, c.y() - s / 2);
        triangle.lineTo(c.x(), c.y() + s / 2);
    }
    triangle.closeSubpath();
    painter.fillPath(triangle, folderTextColor_);
}

void CGfxOutBarCtrl::PaintContent(QPainter& painter, int openFolder, int firstVisible) {
    const QRect area = ItemArea();
    painter.fillRect(area, backgroundColor_);
    if (openFolder < 0 || openFolder >= FolderCount()) {
        return;
    }
    painter.save();
    painter.setClipRect(area);
    const auto& items = folders_[static_cast<std::size_t>(openFolder)].items;
    const bool pressing = pressed_.kind == Hit::kItem && pressedOver_;
    for (int i = firstVisible; i < static_cast<int>(items.size()); ++i) {
        const QRect item = ItemRectFrom(i, firstVisible);
        if (item.top() > area.bottom()) {
            break;
        }
        QRect icon(QPoint(item.left() + (item.width() - kIconSize.width()) / 2, item.top()),
                   kIconSize);
        const QRect halo = icon.adjusted(-3, -3, 3, 3);
        const bool isPressed = pressing && pressed_.index == i;
        if (isPressed) {
            painter.fillRect(halo, pressedColor_);
            icon.translate(1, 1);
        } else if (i == hoveredItem_) {
            painter.fillRect(halo, highlightColor_);
            painter.setPen(lightColor_);
            painter.drawRect(halo.adjusted(0, 0, -1, -1));
        }
        if (i == chosenItem_ && !isPressed) {
            const QPoint bounce = BounceOffset();
            if (!bounce.isNull()) {
                painter.fillRect(halo, pressedColor_);
                icon.translate(bounce);
            }
        }
        const int image = items[static_cast<std::size_t>(i)].image;
        if (image >= 0 && image < icons_.size()) {
            icons_[image].paint(&painter, icon);
        }
        painter.setPen(textColor_);
        painter.drawText(QRect(area.left(), item.top() + kIconSize.height() + kLabelGap,
                               area.width(), item.height() - kIconSize.height() - kLabelGap),
                         Qt::AlignHCenter | Qt::TextWordWrap,
                         items[static_cast<std::size_t>(i)].label);
    }
    painter.restore();
}

void CGfxOutBarCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), backgroundColor_);
    const QRect area = ItemArea();
    if (animationTimer_.isActive() && !animationFrom_.isNull()) {
        // The old folder's items leave as the new ones arrive.
        const int offset = std::min(animationOffset_, animationDistance_);
        const int direction = animationDownwards_ ? 1 : -1;
        painter.save();
        painter.setClipRect(area);
        painter.drawPixmap(area.topLeft() + QPoint(0, direction * offset), animationFrom_);
        painter.drawPixmap(area.topLeft() + QPoint(0, direction * (offset - animationDistance_)),
                           animationTo_);
        painter.restore();
    } else {
        PaintContent(painter, openFolder_, firstVisible_);
        if (IsUpArrowShown()) {
            PaintArrow(painter, UpArrowRect(), true,
                       pressed_.kind == Hit::kUpArrow && pressedOver_);
        }
        if (IsDownArrowShown()) {
            PaintArrow(painter, DownArrowRect(), false,
                       pressed_.kind == Hit::kDownArrow && pressedOver_);
        }
    }
    for (int i = 0; i < FolderCount(); ++i) {
        const bool held = pressed_.kind == Hit::kFolder && pressed_.index == i && pressedOver_;
        PaintFolder(painter, i, held, i == hoveredFolder_);
    }
}

}  // namespace chimeon
