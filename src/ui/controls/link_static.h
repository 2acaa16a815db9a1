#pragma once

#include <QColor>
#include <QLabel>
#include <QRgb>
#include <QString>
#include <QUrl>
#include <functional>

namespace chimeon {

// Opens a link on the desktop; true when some program took it. The default is
// QDesktopServices::openUrl (never a shell command line); tests put a fake in its place.
using LinkOpener = std::function<bool(const QUrl& link)>;
LinkOpener DesktopLinkOpener();

// A text that behaves as a hyperlink: blue and underlined until a click opens it, purple from
// then on, a hand over it and the link as its tooltip. A link that cannot be opened beeps, says
// why, and is no longer marked visited. A skin whose background hides blue or purple gives the
// link its own two colours ("qproperty-linkColor", "qproperty-visitedColor").
class CLinkStatic : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QColor linkColor READ linkColor WRITE SetLinkColor)
    Q_PROPERTY(QColor visitedColor READ visitedColor WRITE SetVisitedColor)
public:
    static constexpr QRgb kLinkColour = qRgb(0, 0, 238);
    static constexpr QRgb kVisitedColour = qRgb(85, 26, 139);

    explicit CLinkStatic(const QString& text, QWidget* parent = nullptr);

    // The target; also the tooltip, and the text when there is none.
    void SetLink(const QString& link);
    void SetVisited(bool visited);
    void SetUnderline(bool underline);
    void SetOpener(LinkOpener opener) { m_opener = std::move(opener); }
    QColor linkColor() const { return m_linkColor; }
    void SetLinkColor(const QColor& color);
    QColor visitedColor() const { return m_visitedColor; }
    void SetVisitedColor(const QColor& color);
    const QString& link() const { return m_link; }
    bool visited() const { return m_visited; }

    // A click (or Enter or Space while it has the focus).
    void OpenLink();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ApplyLook();

    QColor m_linkColor = QColor::fromRgb(kLinkColour);
    QColor m_visitedColor = QColor::fromRgb(kVisitedColour);
    bool m_visited = false;
    bool m_underline = true;
    QString m_link;
    LinkOpener m_opener;
};

}  // namespace chimeon
