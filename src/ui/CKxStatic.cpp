#include "ui/CKxStatic.h"

#include <QFont>
#include <QPalette>

namespace sondrel {

CKxStatic::CKxStatic(QWidget* parent) : QLabel(parent) {
    ApplyColours();
}

void CKxStatic::ApplyLabelFont(bool transparent) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(13.5);
    setFont(font);
    m_transparent = transparent;
    ApplyColours();
    repaint();
}

void CKxStatic::ApplyColours() {
    QPalette palette = this->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::WindowText, m_textColor);
    palette.setColor(QPalette::Window, QColor(240, 240, 240));
    setPalette(palette);
    setAutoFillBackground(!m_transparent);
}

}  // namespace sondrel
