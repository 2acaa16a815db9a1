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
constexpr int kLeftMargin = 5;
constexpr int kTopMargin = 5;
constexpr int kLabelGap = 3;
constexpr int kSmallLabelGap = 4;
constexpr int kItemSpacing = 8;
constexpr int kSmallItemSpacing = 10;
constexpr int kArrowMargin = 5;
constexpr int kBounceCycle = 11;
}  // namespace

CGfxOutBarCtrl::CGfxOutBarCtrl(QWidget* parent, int flags) : QWidget(parent), flags_(flags) {
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

int CGfxOutBarCtrl::AddFolder(const QString& text, int data) {
    folders_.push_back(OutBarFolder{text, data, {}});
    update();
    return static_cast<int>(folders_.size()) - 1;
}

int CGfxOutBarCtrl::InsertItem(int folder, int index, const QString& text, int image, int data) {
    if (folder < 0 || folder >= FolderCount()) {
        return -1;
    }
    auto& items = folders_[static_cast<std::size_t>(folder)].items;
    if (index < 0 || index >= static_cast<int>(items.size())) {
        index = static_cast<int>(items.size());
    }
    items.insert(items.begin() + index, OutBarItem{image, text, data});
    update();
    return index;
}

QList<QIcon> CGfxOutBarCtrl::SetIconList(const QList<QIcon>& icons, int kind) {
    QList<QIcon> previous;
    if (kind == kSmallIconList) {
        previous = std::exchange(smallIcons_, icons);
    } else if (kind == kLargeIconList) {
        previous = std::exchange(largeIcons_, icons);
    }
    update();
    return previous;
}

const QList<QIcon>& CGfxOutBarCtrl::Icons() const {
    return (flags_ & kSmallIcons) ? smallIcons_ : largeIcons_;
}

QSize CGfxOutBarCtrl::IconSize() const {
    return (flags_ & kSmallIcons) ? QSize(16, 16) : QSize(32, 32);
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
    bouncePeriod_ = ms;
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
    if (flags_ & kSmallIcons) {
        return metrics.boundingRect(label);
    }
    return metrics.boundingRect(QRect(0, 0, std::max(1, width()), 10000),
                                Qt::AlignHCenter | Qt::TextWordWrap, label);
}

QRect CGfxOutBarCtrl::ItemRectFrom(int index, int firstVisible) const {
    if (index < firstVisible || index >= ItemCount()) {
        return QRect();
    }
    const QRect area = ItemArea();
    const QSize icon = IconSize();
    const auto& items = folders_[static_cast<std::size_t>(openFolder_)].items;
    const bool small = flags_ & kSmallIcons;
    int y = area.top() + kTopMargin;
    for (int i = firstVisible;; ++i) {
        const QRect label = LabelRect(items[static_cast<std::size_t>(i)].label);
        QRect item;
        if (small) {
            item =
                QRect(area.left() + kLeftMargin, y, icon.width() + kSmallLabelGap + label.width(),
                      std::max(icon.height(), label.height()));
        } else {
            const int w = std::max(icon.width(), label.width());
            item = QRect(area.left() + (area.width() - w) / 2, y, w,
                         icon.height() + kLabelGap + label.height());
        }
        if (i == index) {
            return item;
        }
        y += item.height() + (small ? kSmallItemSpacing : kItemSpacing);
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
    const bool animate = index != openFolder_ && (flags_ & kAnimateFolders) && slideDelay_ >= 0 &&
                         isVisible() && !ItemArea().isEmpty();
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
    emit navigate(kFolderOpened, index);
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
    emit navigate(kItemClicked, index);
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
        if (pressed_.kind == Hit::kItem && !over && (flags_ & kDragItems) && !dragging_) {
            dragging_ = true;
            setCursor(Qt::ClosedHandCursor);
        }
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
    dragging_ = false;
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
            if (dragging_) {
                if (hit.kind == Hit::kItem && hit.index != pressed.index && moveApprover_ &&
                    moveApprover_(openFolder_, pressed.index, hit.index)) {
                    auto& items = folders_[static_cast<std::size_t>(openFolder_)].items;
                    OutBarItem moved = items[static_cast<std::size_t>(pressed.index)];
                    items.erase(items.begin() + pressed.index);
                    items.insert(items.begin() + hit.index, moved);
                }
            } else if (over) {
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
    if (dragging_) {
        dragging_ = false;
        unsetCursor();
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
    const QSize iconSize = IconSize();
    const bool small = flags_ & kSmallIcons;
    const bool pressing = pressed_.kind == Hit::kItem && pressedOver_ && !dragging_;
    for (int i = firstVisible; i < static_cast<int>(items.size()); ++i) {
        const QRect item = ItemRectFrom(i, firstVisible);
        if (item.top() > area.bottom()) {
            break;
        }
        QRect icon =
            small ? QRect(item.left() + 2, item.top() + (item.height() - iconSize.height()) / 2,
                          iconSize.width(), iconSize.height())
                  : QRect(item.left() + (item.width() - iconSize.width()) / 2, item.top(),
                          iconSize.width(), iconSize.height());
        const QRect halo = icon.adjusted(-3, -3, 3, 3);
        const bool isPressed = pressing && pressed_.index == i;
        if (isPressed) {
            painter.fillRect(halo, pressedColor_);
            icon.translate(1, 1);
        } else if (i == hoveredItem_ || ((flags_ & kSelectHighlight) && i == chosenItem_)) {
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
        if (image >= 0 && image < Icons().size()) {
            Icons()[image].paint(&painter, icon);
        }
        painter.setPen(textColor_);
        const QString& label = items[static_cast<std::size_t>(i)].label;
        if (small) {
            painter.drawText(
                QRect(icon.right() + 1 + kSmallLabelGap, item.top(), area.width(), item.height()),
                Qt::AlignVCenter | Qt::TextSingleLine, label);
        } else {
            painter.drawText(QRect(area.left(), item.top() + iconSize.height() + kLabelGap,
                                   area.width(), item.height() - iconSize.height() - kLabelGap),
                             Qt::AlignHCenter | Qt::TextWordWrap, label);
        }
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
