#include "ui/controls/gif_picture.h"

#include <QMouseEvent>
#include <QMovie>

namespace chimeon {

CGifPicture::CGifPicture(QWidget* parent) : QLabel(parent) {}

CGifPicture::~CGifPicture() {
    Unload();
}

bool CGifPicture::Load(const QString& path) {
    Unload();
    if (path.isEmpty()) {
        return false;
    }
    auto movie = std::make_unique<QMovie>(path);
    // A truncated or damaged file may pass the header check: the first frame must decode.
    if (!movie->isValid() || !movie->jumpToFrame(0) || movie->currentImage().isNull()) {
        return false;
    }
    movie_ = std::move(movie);
    setFixedSize(movie_->frameRect().size());
    return true;
}

void CGifPicture::Draw() {
    if (!movie_) {
        return;
    }
    setMovie(movie_.get());
    movie_->start();
    movie_->setPaused(!isVisible());
}

void CGifPicture::Unload() {
    clear();
    movie_.reset();
}

void CGifPicture::SetLink(const QString& link) {
    link_ = link;
    setToolTip(link);
    setAccessibleDescription(link);
}

void CGifPicture::mouseReleaseEvent(QMouseEvent* event) {
    // The picture is a second way to the web site; the text link beside it says when that fails.
    if (event->button() == Qt::LeftButton && !link_.isEmpty() && opener_) {
        opener_(QUrl(link_, QUrl::TolerantMode));
        event->accept();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void CGifPicture::showEvent(QShowEvent* event) {
    QLabel::showEvent(event);
    if (movie_ && movie_->state() == QMovie::Paused) {
        movie_->setPaused(false);
    }
}

void CGifPicture::hideEvent(QHideEvent* event) {
    QLabel::hideEvent(event);
    if (movie_ && movie_->state() == QMovie::Running) {
        movie_->setPaused(true);
    }
}

}  // namespace chimeon
