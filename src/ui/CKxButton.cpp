#include "ui/CKxButton.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include "ui/FocusFrame.h"
#include "ui/SkinPicture.h"
#include "ui/UiText.h"

namespace sondrel {

CKxButton::CKxButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_NoSystemBackground);
    setCursor(Qt::PointingHandCursor);
}

void CKxButton::SetLabelFont() {
    QFont font(QStringLiteral("Helvetica"));
    font.setPointSizeF(10.0);
    font.setWeight(QFont::Bold);
    setFont(font);
    repaint();
}

bool CKxButton::LoadImages(int normalId, int pressedId, int focusId, int disabledId) {
    m_imageNormal = QImage();
    m_imagePressed = QImage();
    m_imageFocus = QImage();
    m_imageDisabled = QImage();
    if (!LoadPngResource(m_imageNormal, normalId))
        return false;
    bool result = pressedId == 0 || LoadPngResource(m_imagePressed, pressedId);
    if (focusId != 0)
        result = LoadPngResource(m_imageFocus, focusId) && result;
    if (disabledId != 0)
        result = LoadPngResource(m_imageDisabled, disabledId) && result;
    update();
    return result;
}

void CKxButton::SetTextColor(QColor colour) {
    m_textColor = colour;
    update();
}

CKxButton& CKxButton::SetToggleMode(bool on) {
    m_toggleMode = on;
    return *this;
}

void CKxButton::SetToggled(bool on) {
    m_toggled = on;
    // The toggled half of a pair is the selected one for assistive tools as well.
    setAccessibleDescription(on ? UiText(kIdsSelected) : QString());
    update();
}

CKxButton::Picture CKxButton::ChoosePicture(bool pressed, bool focused, bool disabled) const {
    if (m_imageNormal.isNull())
        return Picture::None;
    if (m_toggleMode)
        return m_toggled && !m_imagePressed.isNull() ? Picture::Pressed : Picture::Normal;
    if (pressed && !m_imagePressed.isNull())
        return Picture::Pressed;
    if (focused && !m_imageFocus.isNull())
        return Picture::Focus;
    if (disabled && !m_imageDisabled.isNull())
        return Picture::Disabled;
    return Picture::Normal;
}

const QImage* CKxButton::PictureImage(Picture picture) const {
    switch (picture) {
        case Picture::Normal:
            return &m_imageNormal;
        case Picture::Pressed:
            return &m_imagePressed;
        case Picture::Focus:
            return &m_imageFocus;
        case Picture::Disabled:
            return &m_imageDisabled;
        case Picture::None:
            break;
    }
    return nullptr;
}

QSize CKxButton::sizeHint() const {
    return m_imageNormal.isNull() ? QSize(120, 40) : m_imageNormal.deviceIndependentSize().toSize();
}

void CKxButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect whole = rect();
    if (const QImage* image = PictureImage(ChoosePicture(isDown(), hasFocus(), !isEnabled())))
        painter.drawImage(whole, *image);
    if (m_labelRect.isEmpty())
        m_labelRect = whole;
    painter.setPen(isEnabled() ? m_textColor : QColor(m_textColor).lighter(160));
    painter.setFont(font());
    painter.drawText(m_labelRect, Qt::AlignCenter | Qt::TextSingleLine, text());
    if (hasFocus())
        DrawFocusFrame(painter, FocusFrameRect(), m_textColor);
}

QRectF CKxButton::FocusFrameRect() const {
    // Around the label rectangle where one was set; around the caption where the label takes
    // the whole button, as a frame around all of it would fall on the button's edge.
    const QRect inside = rect().adjusted(4, 4, -4, -4);
    QRect frame = m_labelRect.adjusted(-4, -3, 4, 3);
    if (m_labelRect.isEmpty() || m_labelRect == rect() || !inside.contains(frame)) {
        const QRect caption =
            QFontMetrics(font()).boundingRect(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
        frame = caption.adjusted(-8, -4, 8, 4) & inside;
    }
    return frame;
}

bool CKxButton::event(QEvent* event) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        update();
    return QAbstractButton::event(event);
}

}  // namespace sondrel
