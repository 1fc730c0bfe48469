// A text label drawn without a background, so the page picture shows through, or on request in
// a larger font on the plain dialog background.
#pragma once

#include <QColor>
#include <QLabel>

namespace sondrel {

class CKxStatic : public QLabel {
    Q_OBJECT
public:
    explicit CKxStatic(QWidget* parent = nullptr);

    // Gives the label the 13.5-point "Arial" font; an opaque label gets the plain dialog
    // background behind its text.
    void ApplyLabelFont(bool transparent);
    bool IsTransparent() const { return m_transparent; }

private:
    void ApplyColours();

    QColor m_textColor = Qt::black;
    bool m_transparent = true;
};

}  // namespace sondrel
