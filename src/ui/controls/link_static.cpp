#include "ui/controls/link_static.h"

#include <QApplication>
#include <QColor>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>

#include "core/app/link_failure.h"
#include "ui/app/message_box.h"

namespace chimeon {

LinkOpener DesktopLinkOpener() {
    return [](const QUrl& link) { return QDesktopServices::openUrl(link); };
}

CLinkStatic::CLinkStatic(const QString& text, QWidget* parent)
    : QLabel(text, parent), m_opener(DesktopLinkOpener()) {
    setCursor(Qt::PointingHandCursor);
    // Reachable from the keyboard as any button is.
    setFocusPolicy(Qt::StrongFocus);
    ApplyLook();
}

void CLinkStatic::SetLink(const QString& link) {
    m_link = link;
    setToolTip(link);
    setAccessibleDescription(link);
    if (text().isEmpty()) {
        setText(link);
    }
}

void CLinkStatic::SetVisited(bool visited) {
    m_visited = visited;
    ApplyLook();
}

void CLinkStatic::SetUnderline(bool underline) {
    m_underline = underline;
    ApplyLook();
}

void CLinkStatic::SetLinkColor(const QColor& color) {
    m_linkColor = color;
    ApplyLook();
}

void CLinkStatic::SetVisitedColor(const QColor& color) {
    m_visitedColor = color;
    ApplyLook();
}

void CLinkStatic::ApplyLook() {
    // The widget's own style sheet, so that no skin's text colour hides what is a link. A skin
    // sets the colours while it restyles the link: an unchanged look is not set again.
    const QString look =
        QStringLiteral("color: %1; background: transparent; text-decoration: %2;")
            .arg((m_visited ? m_visitedColor : m_linkColor).name(),
                 m_underline ? QStringLiteral("underline") : QStringLiteral("none"));
    if (look != styleSheet()) {
        setStyleSheet(look);
    }
}

void CLinkStatic::OpenLink() {
    const QString target = m_link.isEmpty() ? text() : m_link;
    const bool opened = m_opener && m_opener(QUrl(target, QUrl::TolerantMode));
    SetVisited(opened);
    if (!opened) {
        QApplication::beep();
        ShowWarning(this, QString::fromStdString(HyperlinkFailureMessage(kLinkNoAssociation)));
    }
}

void CLinkStatic::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        OpenLink();
        event->accept();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void CLinkStatic::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            OpenLink();
            event->accept();
            return;
        default:
            QLabel::keyPressEvent(event);
    }
}

}  // namespace chimeon
