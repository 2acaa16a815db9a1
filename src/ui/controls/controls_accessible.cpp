#include "ui/controls/controls_accessible.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>
#include <map>
#include <mutex>

#include "ui/controls/caption_label.h"
#include "ui/controls/digital_clock.h"
#include "ui/controls/gfx_out_bar_ctrl.h"

namespace chimeon {
namespace {

QString Press() {
    return QAccessibleActionInterface::pressAction();
}

int IndexAmongChildren(const QAccessibleInterface& parent, const QAccessibleInterface* child) {
    for (int i = 0; i < parent.childCount(); ++i) {
        if (parent.child(i) == child) {
            return i;
        }
    }
    return -1;
}

// Interfaces without an object of their own (a folder, an item) are kept by Qt's cache under an
// id; their parent makes each once and deletes them with itself.
class ChildCache {
public:
    ~ChildCache() {
        for (const auto& [index, id] : ids_) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }
    template <typename Make>
    QAccessibleInterface* Get(int index, Make make) const {
        auto found = ids_.find(index);
        if (found == ids_.end()) {
            found = ids_.emplace(index, QAccessible::registerAccessibleInterface(make())).first;
        }
        return QAccessible::accessibleInterface(found->second);
    }

private:
    mutable std::map<int, QAccessible::Id> ids_;
};

// A pressable part of the navigation bar that is no widget of its own: a folder button or an
// item of a folder.
class OutBarPart : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    OutBarPart(CGfxOutBarCtrl* bar, int folder) : bar_(bar), folder_(folder) {}

    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return bar_ ? bar_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override { return {Press()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

protected:
    QRect OnScreen(const QRect& local) const {
        return local.isEmpty() ? QRect() : QRect(bar_->mapToGlobal(local.topLeft()), local.size());
    }

    QPointer<CGfxOutBarCtrl> bar_;
    int folder_;
};

class OutBarItemAccessible : public OutBarPart {
public:
    OutBarItemAccessible(CGfxOutBarCtrl* bar, int folder, int index)
        : OutBarPart(bar, folder), index_(index) {}

    bool isValid() const override { return bar_ && index_ < bar_->FolderItemCount(folder_); }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && bar_ ? bar_->FolderItemText(folder_, index_) : QString();
    }
    QRect rect() const override { return Shown() ? OnScreen(bar_->ItemRect(index_)) : QRect(); }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.invisible = state.offscreen = !Shown();
        state.selected = Shown() && bar_->ChosenItem() == index_;
        return state;
    }
    void doAction(const QString& action) override {
        if (action == Press() && bar_) {
            bar_->PressItem(folder_, index_);
        }
    }

private:
    bool Shown() const {
        return bar_ && bar_->SelectedFolder() == folder_ && !bar_->ItemRect(index_).isEmpty() &&
               bar_->ItemArea().intersects(bar_->ItemRect(index_));
    }

    int index_;
};

// A folder button; its items are its children, reachable (and pressable) also while closed.
class OutBarFolderAccessible : public OutBarPart {
public:
    using OutBarPart::OutBarPart;

    bool isValid() const override { return bar_ && folder_ < bar_->FolderCount(); }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(bar_.data());
    }
    QAccessibleInterface* child(int index) const override {
        if (!bar_ || index < 0 || index >= childCount()) {
            return nullptr;
        }
        return items_.Get(index,
                          [&] { return new OutBarItemAccessible(bar_.data(), folder_, index); });
    }
    int childCount() const override { return bar_ ? bar_->FolderItemCount(folder_) : 0; }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return IndexAmongChildren(*this, child);
    }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && bar_ ? bar_->FolderText(folder_) : QString();
    }
    QRect rect() const override { return bar_ ? OnScreen(bar_->FolderRect(folder_)) : QRect(); }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.selectable = true;
        state.selected = bar_ && bar_->SelectedFolder() == folder_;
        return state;
    }
    void doAction(const QString& action) override {
        if (action == Press() && bar_ && bar_->SelectedFolder() != folder_) {
            bar_->SelectFolder(folder_);
        }
    }

private:
    ChildCache items_;
};

QAccessibleInterface* OutBarItemAccessible::parent() const {
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(bar_.data());
    return bar != nullptr ? bar->child(folder_) : nullptr;
}

class OutBarAccessible : public QAccessibleWidget {
public:
    explicit OutBarAccessible(CGfxOutBarCtrl* bar)
        : QAccessibleWidget(bar, QAccessible::PageTabList) {}

    int childCount() const override { return Bar()->FolderCount(); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) {
            return nullptr;
        }
        return folders_.Get(index, [&] { return new OutBarFolderAccessible(Bar(), index); });
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return IndexAmongChildren(*this, child);
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int folder = 0; folder < childCount(); ++folder) {
            QAccessibleInterface* candidate = child(folder);
            if (candidate->rect().contains(x, y)) {
                return candidate;
            }
            for (int item = 0; item < candidate->childCount(); ++item) {
                if (candidate->child(item)->rect().contains(x, y)) {
                    return candidate->child(item);
                }
            }
        }
        return nullptr;
    }

private:
    CGfxOutBarCtrl* Bar() const { return static_cast<CGfxOutBarCtrl*>(widget()); }

    ChildCache folders_;
};

// A painted text: the page title, or the time the digital clock shows.
class PaintedTextAccessible : public QAccessibleWidget {
public:
    PaintedTextAccessible(QWidget* widget, QAccessible::Role role, QString (*read)(QWidget*))
        : QAccessibleWidget(widget, role), read_(read) {}

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? read_(widget()) : QAccessibleWidget::text(t);
    }

private:
    QString (*read_)(QWidget*);
};

template <typename Control>
bool Is(const QString& className) {
    return className == QLatin1String(Control::staticMetaObject.className());
}

QAccessibleInterface* MakeInterface(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) {
        return nullptr;
    }
    if (Is<CGfxOutBarCtrl>(className)) {
        return new OutBarAccessible(static_cast<CGfxOutBarCtrl*>(widget));
    }
    if (Is<CCaptionLabel>(className)) {
        return new PaintedTextAccessible(widget, QAccessible::StaticText, [](QWidget* w) {
            return static_cast<CCaptionLabel*>(w)->text();
        });
    }
    if (Is<CDigitalClock>(className)) {
        return new PaintedTextAccessible(widget, QAccessible::Clock, [](QWidget* w) {
            return static_cast<CDigitalClock*>(w)->ShownText();
        });
    }
    return nullptr;
}

}  // namespace

void InstallControlsAccessibility() {
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(&MakeInterface); });
}

}  // namespace chimeon
