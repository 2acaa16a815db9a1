#pragma once

#include <QLabel>
#include <QString>
#include <memory>

#include "ui/controls/link_static.h"

class QMovie;

namespace chimeon {

// A picture from a file that plays the frames of an animated GIF (any other picture stays
// still) and opens its link when clicked. QMovie decodes and animates on the window's thread,
// so there is no thread of its own to stop; the animation rests while the picture is hidden.
class CGifPicture : public QLabel {
    Q_OBJECT
public:
    explicit CGifPicture(QWidget* parent = nullptr);
    ~CGifPicture() override;

    // Reads the picture; false, with nothing shown, when the file is missing or holds no
    // picture that can be decoded.
    bool Load(const QString& path);
    // Starts showing what Load read.
    void Draw();
    void Unload();
    void SetLink(const QString& link);
    void SetOpener(LinkOpener opener) { opener_ = std::move(opener); }
    QMovie* movie() const { return movie_.get(); }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::unique_ptr<QMovie> movie_;
    QString link_;
    LinkOpener opener_;
};

}  // namespace chimeon
