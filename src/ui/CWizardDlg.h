// The base of every wizard page: a borderless 800 x 500 window with rounded corners that shows
// its skin picture, drags from anywhere on its background, opens where the last page was, and
// ends with PageResult::Next, Back or Close from its standard buttons.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <utility>
#include <vector>

#include "base/PageResult.h"

class QTextBrowser;
class QTextEdit;

namespace sondrel {

class CKxButton;
class CCloseButton;

inline constexpr int kDesignWidth = 800;
inline constexpr int kDesignHeight = 500;

// A rectangle of a page template in dialog units, in pixels at 96 dpi ("MS Shell Dlg" 8 pt:
// 6 x 13 base units), rounded as the dialog manager rounds.
QRect DialogUnitsToPixels(int x, int y, int width, int height);

class CWizardDlg : public QDialog {
    Q_OBJECT
public:
    enum StandardButton { kNoButtons = 0, kNextButton = 1, kBackButton = 2 };

    CWizardDlg(QWidget* parent, int standardButtons);
    ~CWizardDlg() override;

    // Shows the page modally and returns how it ended.
    PageResult RunModal();
    // Ends the page as its buttons do (without storing the fields).
    void EndPage(PageResult result) { done(static_cast<int>(result)); }
    // What RunModal does before the page shows: shape and scale for the current size, then
    // the page's set-up. Also for rendering a page without showing it.
    void Prepare();

    // Whether a press at this screen point on the background drags the window.
    virtual bool CanDragAt(QPoint globalPoint) const;

    // Streams page text `id` into a read-only text control; false when there is no such text
    // or it yields no characters (the control is then left as it was).
    static bool LoadRtfResource(QTextEdit* control, int id);

    // The screen rectangle of the page last closed, where the next page opens; empty at start
    // and after Forget (tests that need a fresh start).
    static QRect LastPageRect() { return s_pageRect; }
    static void ForgetPageRect() { s_pageRect = QRect(); }

    // The window shape for a page of this size, in window coordinates.
    static QRegion PageRegion(int width, int height);
    // 1.0 within five pixels of the design size, else size / design size.
    static double ScaleFor(int size, int designSize);

    double ScaleX() const { return m_scaleX; }
    double ScaleY() const { return m_scaleY; }
    const QImage& Background() const { return m_background; }
    int BackgroundId() const { return m_backgroundId; }
    CKxButton* NextButton() const { return m_nextButton; }
    CKxButton* BackButton() const { return m_backButton; }
    CCloseButton* CloseButton() const { return m_closeButton; }

    // A rectangle of the 800 x 500 design in this page's pixels.
    QRect Scaled(QRect designRect) const;

public slots:
    void reject() override;
    void accept() override;
    void done(int result) override;

protected:
    // Runs on every showing, before the page is shown: title, icon, place, button skins.
    // Pages call the base first, then set up their own controls.
    virtual void OnInitDialog();
    // Moves values between the page's members and its controls (save: controls to members).
    virtual void DoDataExchange(bool save);
    // The close button, Escape and the window manager's close request end here.
    virtual void OnCancel();
    // The page's window goes away (timers stop here).
    virtual void OnDestroy() {}

    void SetBackgroundId(int id) { m_backgroundId = id; }
    // A read-only page-text control at a rectangle of the design, filled with page text `rtfId`
    // on every showing. Only the finished page's texts stay enabled.
    QTextBrowser* AddPageText(QRect designRect, int rtfId, bool enabled = false);
    // The Tab order: the close button at the top, then `fields` as a person reads them (top
    // left to bottom right), then back and next at the bottom right.
    void SetTabOrder(const std::vector<QWidget*>& fields);
    // The words beside a choice belong to it: its focus frame takes them in.
    void SetFocusLabel(QWidget* control, QTextEdit* label);
    // Where the page draws the focus frame of a control that does not draw its own.
    QRect FocusFrameRect(const QWidget* control) const;
    // Right-aligns every paragraph of a loaded page text.
    static void AlignPageText(QTextEdit* control, Qt::Alignment alignment);
    // Ends the page with `result` after storing its fields, as next and back do.
    void EndWithFields(PageResult result);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Shared by all pages, written only as a page closes (GUI thread).
    static QRect s_pageRect;
    void ApplyShapeAndScale();

    QImage m_background;
    QIcon m_icon;
    int m_backgroundId = 0;
    double m_scaleX = 1.0;
    double m_scaleY = 1.0;
    CCloseButton* m_closeButton = nullptr;
    CKxButton* m_nextButton = nullptr;
    CKxButton* m_backButton = nullptr;
    bool m_dragging = false;
    QPoint m_dragOffset;
    bool m_ending = false;
    struct PageText {
        QTextBrowser* control;
        int rtfId;
    };
    std::vector<PageText> m_pageTexts;
    std::vector<std::pair<const QWidget*, const QTextEdit*>> m_focusLabels;
};

}  // namespace sondrel
