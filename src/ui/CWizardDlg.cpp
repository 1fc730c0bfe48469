#include "ui/CWizardDlg.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>
#include <QWindow>
#include <cmath>
#include <cstdlib>

#include "base/StringTable.h"
#include "ui/CCloseButton.h"
#include "ui/CKxButton.h"
#include "ui/FocusFrame.h"
#include "ui/RtfText.h"
#include "ui/SkinPicture.h"
#include "ui/SkinResourceIds.h"
#include "ui/UiText.h"

namespace sondrel {

namespace {

constexpr int kScaleTolerance = 5;
constexpr int kCornerBox = 86;

int DialogUnits(int units, int baseUnit, int divisor) {
    // MulDiv: rounded half away from zero.
    const long long product = static_cast<long long>(units) * baseUnit;
    return static_cast<int>(product >= 0 ? (product + divisor / 2) / divisor
                                         : (product - divisor / 2) / divisor);
}

QRect Box(int left, int top, int right, int bottom) {
    // Boxes given with left > right or top > bottom are normalised; right and bottom are
    // outside the box, as for every region of the page.
    return QRect(QPoint(std::min(left, right), std::min(top, bottom)),
                 QPoint(std::max(left, right) - 1, std::max(top, bottom) - 1));
}

}  // namespace

QRect CWizardDlg::s_pageRect;

QRect DialogUnitsToPixels(int x, int y, int width, int height) {
    return QRect(DialogUnits(x, 6, 4), DialogUnits(y, 13, 8), DialogUnits(width, 6, 4),
                 DialogUnits(height, 13, 8));
}

CWizardDlg::CWizardDlg(QWidget* parent, int standardButtons)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setModal(true);
    resize(kDesignWidth, kDesignHeight);
    m_icon = ApplicationIcon();

    m_closeButton = new CCloseButton(this);
    m_closeButton->setGeometry(DialogUnitsToPixels(479, 23, 26, 24));
    connect(m_closeButton, &QAbstractButton::clicked, this, [this] { OnCancel(); });
    if (standardButtons & kBackButton) {
        m_backButton = new CKxButton(this);
        m_backButton->setText(UiText(kIdsBack));
        m_backButton->setGeometry(DialogUnitsToPixels(334, 248, 86, 42));
        connect(m_backButton, &QAbstractButton::clicked, this,
                [this] { EndWithFields(PageResult::Back); });
    }
    if (standardButtons & kNextButton) {
        m_nextButton = new CKxButton(this);
        m_nextButton->setText(UiText(kIdsNext));
        m_nextButton->setGeometry(DialogUnitsToPixels(426, 248, 86, 42));
        connect(m_nextButton, &QAbstractButton::clicked, this,
                [this] { EndWithFields(PageResult::Next); });
    }
    SetTabOrder({});
    // The page draws the focus frame of controls that draw none of their own.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* before, QWidget* now) {
        if ((before && isAncestorOf(before)) || (now && isAncestorOf(now)))
            update();
    });
}

CWizardDlg::~CWizardDlg() = default;

double CWizardDlg::ScaleFor(int size, int designSize) {
    return std::abs(size - designSize) > kScaleTolerance ? size / static_cast<double>(designSize)
                                                         : 1.0;
}

QRegion CWizardDlg::PageRegion(int width, int height) {
    const int r = width - 1;
    const int b = height - 1;
    QRegion region(Box(43, 0, r - 43, b));
    region += QRegion(Box(0, 43, r, b - 43));
    region += QRegion(Box(-1, -1, kCornerBox, kCornerBox), QRegion::Ellipse);
    region += QRegion(Box(r + 1, -1, r - kCornerBox, kCornerBox), QRegion::Ellipse);
    region += QRegion(Box(-1, b + 1, kCornerBox, b - kCornerBox), QRegion::Ellipse);
    region += QRegion(Box(r - kCornerBox, b - kCornerBox, r + 1, b + 1), QRegion::Ellipse);
    return region;
}

QRect CWizardDlg::Scaled(QRect designRect) const {
    const auto scale = [](int value, double factor) {
        return static_cast<int>(value * factor + 0.5);
    };
    const int left = scale(designRect.left(), m_scaleX);
    const int top = scale(designRect.top(), m_scaleY);
    const int right = scale(designRect.left() + designRect.width(), m_scaleX);
    const int bottom = scale(designRect.top() + designRect.height(), m_scaleY);
    return QRect(left, top, right - left, bottom - top);
}

void CWizardDlg::ApplyShapeAndScale() {
    m_scaleX = ScaleFor(width(), kDesignWidth);
    m_scaleY = ScaleFor(height(), kDesignHeight);
    setMask(PageRegion(width(), height()));
    if (m_backgroundId != 0 && m_background.isNull())
        LoadPngResource(m_background, m_backgroundId);
}

void CWizardDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ApplyShapeAndScale();
}

PageResult CWizardDlg::RunModal() {
    m_ending = false;
    m_dragging = false;
    Prepare();
    return static_cast<PageResult>(exec());
}

void CWizardDlg::Prepare() {
    ApplyShapeAndScale();
    OnInitDialog();
}

void CWizardDlg::OnInitDialog() {
    setWindowIcon(m_icon);
    const QString title = UiText(kIdsProductTitle);
    if (!s_pageRect.isEmpty()) {
        setGeometry(s_pageRect);
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        // The first page opens in the middle of the screen.
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    setWindowTitle(title);
    m_closeButton->LoadBitmaps(kBitmapClose, kBitmapClosePressed);
    const QRect labelRect(QPoint(23, 35), QPoint(111, 56));
    if (m_nextButton) {
        m_nextButton->SetLabelFont();
        m_nextButton->LoadImages(kPictureNext, kPictureNextPressed, 0, 0);
        m_nextButton->SetLabelRect(labelRect);
        m_nextButton->SetTextColor(QColor(0, 127, 0));
    }
    if (m_backButton) {
        m_backButton->SetLabelFont();
        m_backButton->LoadImages(kPictureBack, kPictureBackPressed, 0, 0);
        m_backButton->SetLabelRect(labelRect);
        m_backButton->SetTextColor(QColor(159, 159, 0));
    }
    for (const PageText& text : m_pageTexts)
        LoadRtfResource(text.control, text.rtfId);
    // The keyboard starts on the way forward; pages with fields move it to their first one.
    if (m_nextButton)
        m_nextButton->setFocus();
    DoDataExchange(false);
}

QTextBrowser* CWizardDlg::AddPageText(QRect designRect, int rtfId, bool enabled) {
    QTextBrowser* control = MakePageTextControl(this, enabled);
    control->setGeometry(Scaled(designRect));
    m_pageTexts.push_back({control, rtfId});
    return control;
}

void CWizardDlg::SetTabOrder(const std::vector<QWidget*>& fields) {
    QWidget* previous = m_closeButton;
    const auto chain = [&previous](QWidget* widget) {
        if (!widget)
            return;
        setTabOrder(previous, widget);
        previous = widget;
    };
    for (QWidget* field : fields)
        chain(field);
    chain(m_backButton);
    chain(m_nextButton);
}

void CWizardDlg::SetFocusLabel(QWidget* control, QTextEdit* label) {
    m_focusLabels.emplace_back(control, label);
}

QRect CWizardDlg::FocusFrameRect(const QWidget* control) const {
    QRect area(control->mapTo(this, QPoint(0, 0)), control->size());
    for (const auto& [labelled, label] : m_focusLabels) {
        if (labelled != control)
            continue;
        // The words themselves, not the whole width the text control was given.
        const QTextDocument* text = label->document();
        const int width = static_cast<int>(text->idealWidth() + 2 * text->documentMargin()) + 1;
        const int height = static_cast<int>(text->size().height());
        area |= QRect(label->mapTo(this, QPoint(0, 0)),
                      QSize(std::min(width, label->width()), std::min(height, label->height())));
    }
    // Just outside the control: a scroll bar or a tool button paints all of its own area.
    return area.adjusted(-3, -3, 3, 3);
}

void CWizardDlg::AlignPageText(QTextEdit* control, Qt::Alignment alignment) {
    QTextCursor cursor(control->document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setAlignment(alignment);
    cursor.mergeBlockFormat(format);
}

void CWizardDlg::DoDataExchange(bool) {}

bool CWizardDlg::CanDragAt(QPoint) const {
    return true;
}

bool CWizardDlg::LoadRtfResource(QTextEdit* control, int id) {
    return sondrel::LoadRtfResource(control, id);
}

void CWizardDlg::EndWithFields(PageResult result) {
    DoDataExchange(true);
    EndPage(result);
}

void CWizardDlg::OnCancel() {
    EndPage(PageResult::Close);
}

void CWizardDlg::reject() {
    OnCancel();
}

void CWizardDlg::accept() {
    // Enter: the fields are stored and the page ends with 1, which the flow reads as next.
    EndWithFields(PageResult::Ok);
}

void CWizardDlg::done(int result) {
    if (m_ending)
        return;
    m_ending = true;
    s_pageRect = geometry();
    OnDestroy();
    QDialog::done(result);
}

void CWizardDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_backgroundId != 0 && !m_background.isNull()) {
        const QSizeF size = m_background.deviceIndependentSize();
        if (m_scaleX != 1.0 || m_scaleY != 1.0) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            const int w = static_cast<int>(size.width() * m_scaleX + 0.5);
            const int h = static_cast<int>(size.height() * m_scaleY + 0.5);
            painter.drawImage(QRect(0, 0, w, h), m_background);
        } else {
            painter.drawImage(QPoint(0, 0), m_background);
        }
    }
    // The skinned buttons frame their caption themselves; a text field shows its caret.
    const QWidget* focused = focusWidget();
    if (focused && focused->hasFocus() && !qobject_cast<const CKxButton*>(focused) &&
        !qobject_cast<const CCloseButton*>(focused) && !qobject_cast<const QLineEdit*>(focused))
        DrawFocusFrame(painter, FocusFrameRect(focused), kFocusInk);
}

void CWizardDlg::mousePressEvent(QMouseEvent* event) {
    const QPoint global = event->globalPosition().toPoint();
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()) ||
        !CanDragAt(global)) {
        QDialog::mousePressEvent(event);
        return;
    }
    event->accept();
    // The window manager moves the window where there is one; elsewhere (a bare X server,
    // off-screen) the page follows the pointer itself.
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = global - frameGeometry().topLeft();
}

void CWizardDlg::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void CWizardDlg::mouseReleaseEvent(QMouseEvent* event) {
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}

void CWizardDlg::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        // Enter on a focused push button presses it, as in the system's own dialogs; on a
        // choice (a radio or check box, either half of a pair), a field or the level it is the
        // dialog's OK, and the page goes on.
        auto* button = qobject_cast<QAbstractButton*>(focusWidget());
        const auto* skinned = qobject_cast<const CKxButton*>(button);
        const bool pushButton =
            (skinned && !skinned->IsToggleMode()) || qobject_cast<const CCloseButton*>(button) ||
            qobject_cast<const QPushButton*>(button) || qobject_cast<const QToolButton*>(button);
        if (pushButton && button->isEnabled()) {
            button->animateClick();
        } else {
            accept();
        }
        event->accept();
        return;
    }
    if (key == Qt::Key_Escape) {
        reject();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace sondrel
