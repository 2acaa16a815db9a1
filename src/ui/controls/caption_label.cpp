#include "ui/controls/caption_label.h"

#include <QAccessible>
#include <QPainter>

#include "ui/controls/controls_accessible.h"

namespace chimeon {

CCaptionLabel::CCaptionLabel(QWidget* parent) : QWidget(parent) {
    InstallControlsAccessibility();
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

void CCaptionLabel::setText(const QString& text) {
    text_ = text;
    update();
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

void CCaptionLabel::setBackgroundColor(const QColor& color) {
    backgroundColor_ = color;
    background_ = QPixmap();
    update();
}

void CCaptionLabel::setTextColor(const QColor& color) {
    m_textColor = color;
    update();
}

void CCaptionLabel::setWordColor(const QColor& color) {
    wordColor_ = color;
    background_ = QPixmap();
    update();
}

QFont CCaptionLabel::TitleFont() const {
    if (m_faceName.isEmpty()) {
        return parentWidget() != nullptr ? parentWidget()->font() : font();
    }
    QFont title(m_faceName);
    title.setPixelSize(m_height);
    title.setWeight(m_weight >= 700 ? QFont::Bold : QFont::Normal);
    return title;
}

const QPixmap& CCaptionLabel::Background() {
    if (background_.isNull()) {
        background_ = QPixmap(size().expandedTo(QSize(1, 1)));
        background_.fill(backgroundColor_);
        QPainter painter(&background_);
        QFont word(m_faceName.isEmpty() ? font().family() : m_faceName);
        word.setPixelSize(18);
        word.setWeight(QFont::Bold);
        painter.setFont(word);
        const QRect area = QRect(QPoint(0, 0), background_.size()).adjusted(0, 0, -5, 0);
        const int align = Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine;
        painter.setPen(Qt::black);
        painter.drawText(area.translated(1, 1), align, m_backgroundWord);
        painter.setPen(wordColor_);
        painter.drawText(area, align, m_backgroundWord);
    }
    return background_;
}

void CCaptionLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), backgroundColor_);
    painter.drawPixmap(0, 0, Background());
    painter.setFont(TitleFont());
    painter.setPen(m_textColor);
    painter.drawText(rect().adjusted(5, 0, 0, 0).translated(1, 1),
                     Qt::AlignVCenter | Qt::TextSingleLine, text_);
}

}  // namespace chimeon
