// A push button drawn entirely from pictures (normal, pressed, focused, disabled) with its
// caption over them in a chosen colour, font and rectangle; in toggle mode one half of an
// either/or pair that shows its pressed picture while it is the chosen one.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>

namespace sondrel {

class CKxButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Picture { None, Normal, Pressed, Focus, Disabled };

    explicit CKxButton(QWidget* parent = nullptr);

    // The 10-point bold "Helvetica" caption font.
    void SetLabelFont();
    // Picture resource ids; 0 = none. False when the normal picture or any picture asked for
    // failed to load (a missing normal picture leaves the others unloaded).
    bool LoadImages(int normalId, int pressedId, int focusId, int disabledId);
    void SetTextColor(QColor colour);
    void SetLabelRect(QRect rect) { m_labelRect = rect; }
    CKxButton& SetToggleMode(bool on);
    void SetToggled(bool on);
    bool IsToggled() const { return m_toggled; }
    bool IsToggleMode() const { return m_toggleMode; }
    QRect LabelRect() const { return m_labelRect; }

    // Where the dotted focus frame goes, in the button's own pixels.
    QRectF FocusFrameRect() const;
    // Which picture a paint in the given state shows.
    Picture ChoosePicture(bool pressed, bool focused, bool disabled) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    const QImage* PictureImage(Picture picture) const;

    QColor m_textColor = Qt::black;
    QRect m_labelRect;
    QImage m_imageNormal;
    QImage m_imagePressed;
    QImage m_imageFocus;
    QImage m_imageDisabled;
    bool m_toggleMode = false;
    bool m_toggled = false;
};

}  // namespace sondrel
