#pragma once

#include <QColor>
#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <vector>

namespace chimeon {

// The outlook-style navigation bar: a stack of folder buttons, one open, whose items are large
// icons with labels. A click on an item is itemActivated, a click on a closed folder's button
// opens it (with a slide of its items) and is folderOpened. Colours come from properties, so a
// skin (style sheet) restyles the bar with "qproperty-...".
class CGfxOutBarCtrl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor backgroundColor MEMBER backgroundColor_ NOTIFY colorsChanged)
    Q_PROPERTY(QColor textColor MEMBER textColor_ NOTIFY colorsChanged)
    Q_PROPERTY(QColor folderColor MEMBER folderColor_ NOTIFY colorsChanged)
    Q_PROPERTY(QColor folderTextColor MEMBER folderTextColor_ NOTIFY colorsChanged)
    Q_PROPERTY(QColor lightColor MEMBER lightColor_ NOTIFY colorsChanged)
    Q_PROPERTY(QColor shadowColor MEMBER shadowColor_ NOTIFY colorsChanged)
    Q_PROPERTY(QColor highlightColor MEMBER highlightColor_ NOTIFY colorsChanged)
    Q_PROPERTY(QColor pressedColor MEMBER pressedColor_ NOTIFY colorsChanged)

public:
    static constexpr int kFolderHeight = 22;
    static constexpr int kHoverWatchMs = 100;
    static constexpr int kArrowRepeatMs = 300;

    explicit CGfxOutBarCtrl(QWidget* parent = nullptr);

    int AddFolder(const QString& text);
    // Appends an item showing icon `image` of the icon list; its index, or -1 without the folder.
    int AddItem(int folder, const QString& text, int image);
    void SetIcons(const QList<QIcon>& icons);
    void SelectFolder(int index);
    int SelectedFolder() const { return openFolder_; }
    // The text of an item of the open folder; "" when out of range.
    QString ItemText(int index) const;
    int FolderCount() const { return static_cast<int>(folders_.size()); }
    int ItemCount() const;
    // Any folder's name, item count and item texts ("" when out of range).
    QString FolderText(int folder) const;
    int FolderItemCount(int folder) const;
    QString FolderItemText(int folder, int index) const;
    // Chooses an item as a click on it does, opening its folder first when it is closed (the
    // accessibility bus's "press").
    void PressItem(int folder, int index);
    // A positive period starts the icon bounce, anything else stops it.
    void SetBouncePeriod(int ms);
    // Pause between frames of the folder-switch animation; negative switches it off.
    void SetFolderSlideDelay(int ms) { slideDelay_ = ms; }

    // Geometry, for painting, hit-testing and tests.
    QRect FolderRect(int folder) const;
    QRect ItemArea() const;
    QRect ItemRect(int index) const;  // of the open folder, as laid out now
    QRect UpArrowRect() const;
    QRect DownArrowRect() const;
    bool IsUpArrowShown() const;
    bool IsDownArrowShown() const;
    int FirstVisibleItem() const { return firstVisible_; }
    int ChosenItem() const { return chosenItem_; }
    bool IsFolderAnimationRunning() const { return animationTimer_.isActive(); }
    bool IsArrowRepeatRunning() const { return arrowTimer_.isActive(); }

signals:
    // An item of the open folder was chosen (a click, or "press" on the accessibility bus).
    void itemActivated(int item);
    void folderOpened(int folder);
    void colorsChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct OutBarItem {
        int image = 0;
        QString label;
    };
    struct OutBarFolder {
        QString name;
        std::vector<OutBarItem> items;
    };
    enum class Hit { kNothing, kFolder, kItem, kUpArrow, kDownArrow };
    struct HitResult {
        Hit kind = Hit::kNothing;
        int index = -1;
    };

    HitResult HitTest(const QPoint& point) const;
    QPoint BounceOffset() const;
    // One tick of the bounce timer: the chosen item's icon twitches once every eleven ticks.
    void OnBounceTimer();
    void ChooseItem(int index);
    QRect LabelRect(const QString& label) const;
    QRect ItemRectFrom(int index, int firstVisible) const;
    int LastItemBottom() const;
    void ScrollUp();
    void ScrollDown();
    void ClearHover();
    void OnHoverWatch();
    void OnArrowRepeat();
    void OnAnimationFrame();
    void PaintContent(QPainter& painter, int openFolder, int firstVisible);
    void PaintFolder(QPainter& painter, int folder, bool held, bool hovered);
    void PaintArrow(QPainter& painter, const QRect& rect, bool up, bool pressed);

    std::vector<OutBarFolder> folders_;
    int openFolder_ = 0;
    int firstVisible_ = 0;
    int chosenItem_ = -1;
    int hoveredFolder_ = -1;
    int hoveredItem_ = -1;
    int slideDelay_ = 10;
    int bounceStep_ = 0;
    QList<QIcon> icons_;

    // The press in progress.
    HitResult pressed_;
    bool pressedOver_ = false;

    QTimer hoverTimer_;
    QTimer arrowTimer_;
    QTimer bounceTimer_;
    QTimer animationTimer_;
    QPixmap animationFrom_;
    QPixmap animationTo_;
    int animationOffset_ = 0;
    int animationDistance_ = 0;
    bool animationDownwards_ = false;

    QColor backgroundColor_{0x3a, 0x6e, 0xa5};
    QColor textColor_{Qt::white};
    QColor folderColor_{0xd4, 0xd0, 0xc8};
    QColor folderTextColor_{Qt::black};
    QColor lightColor_{Qt::white};
    QColor shadowColor_{0x80, 0x80, 0x80};
    QColor highlightColor_{0x5a, 0x8e, 0xc5};
    QColor pressedColor_{0x2a, 0x4e, 0x85};
};

}  // namespace chimeon
