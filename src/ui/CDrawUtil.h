// Keeps one font, one pen and the text background mode on a painter for a paint, recreating
// them only when the face, size or colour asked for changes, and puts back what it displaced.
#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QString>

namespace sondrel {

enum class TextBackground { Transparent, Opaque };

class CDrawUtil {
public:
    explicit CDrawUtil(QPainter* painter);
    ~CDrawUtil();
    CDrawUtil(const CDrawUtil&) = delete;
    CDrawUtil& operator=(const CDrawUtil&) = delete;

    // Size in tenths of a point.
    void SetFont(const QString& face, int tenthsOfPoint, QColor textColour);
    void SetPen(QColor colour);
    void SetBkMode(TextBackground mode);
    // Text with its top-left corner at (x, y).
    void TextOut(int x, int y, const QString& text);
    bool GetTextExtent(const QString& text, int& width, int& height) const;
    void MoveTo(int x, int y);
    // A line from the pen position to (x, y), the end point excluded.
    void LineTo(int x, int y);

    // How many fonts were made; a repeated SetFont with the same values makes none.
    int FontsCreated() const { return m_fontsCreated; }

private:
    QPainter* m_painter;
    bool m_fontSet = false;
    QFont m_displacedFont;
    QFont m_font;
    QString m_fontFace;
    int m_fontTenths = 0;
    QColor m_textColour;
    bool m_penSet = false;
    QPen m_displacedPen;
    QColor m_penColour;
    bool m_bkModeSaved = false;
    Qt::BGMode m_savedBkMode = Qt::TransparentMode;
    int m_x = 0;
    int m_y = 0;
    int m_fontsCreated = 0;
};

}  // namespace sondrel
