#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QWidget>

namespace chimeon {

// The page title of the main window: the title in a chosen font over a light strip that carries
// an embossed word at its right end. Colours are properties so that skins can restyle it.
class CCaptionLabel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor)
    Q_PROPERTY(QColor textColor MEMBER m_textColor WRITE setTextColor)
    Q_PROPERTY(QColor wordColor READ wordColor WRITE setWordColor)

public:
    explicit CCaptionLabel(QWidget* parent = nullptr);

    // Set by the owner before the label is first drawn.
    QString m_faceName;        // "" draws the title in the parent's font
    int m_height = 12;         // title font height, pixels
    int m_weight = 400;        // 400 normal, 700 bold
    QString m_backgroundWord;  // drawn embossed at the right

    QString text() const { return m_text; }
    void setText(const QString& text);
    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& color);
    void setTextColor(const QColor& color);
    QColor wordColor() const { return m_wordColor; }
    void setWordColor(const QColor& color);

    QFont TitleFont() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QPixmap& Background();

    QString m_text;
    QColor m_textColor{Qt::black};
    QColor m_backgroundColor{240, 240, 240};
    QColor m_wordColor{108, 108, 108};  // readable on the strip (4.5:1)
    QPixmap m_background;               // made once; remade only when a colour changes
};

}  // namespace chimeon
