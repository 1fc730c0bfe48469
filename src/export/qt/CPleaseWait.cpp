#include "export/qt/CPleaseWait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "base/StringTable.h"
#include "ui/UiText.h"

namespace sondrel {

namespace {
constexpr int kMaxWaitForScreenMs = 1000;
// The dark slate of the pages' title bars.
const QColor kInk(30, 38, 48);
}  // namespace

CPleaseWait::CPleaseWait(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(UiText(kIdsProductTitle));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(UiText(kIdsPleaseWait), this);
    text->setAlignment(Qt::AlignCenter);
    QFont font = text->font();
    font.setPointSizeF(12.0);
    font.setBold(true);
    text->setFont(font);
    QPalette palette = text->palette();
    palette.setColor(QPalette::WindowText, kInk);
    text->setPalette(palette);
    layout->addWidget(text);
    resize(220, 70);
}

void CPleaseWait::ShowNow(QRect over) {
    if (!over.isEmpty())
        move(over.center() - QPoint(width() / 2, height() / 2));
    show();
    raise();
    if (windowHandle() && windowHandle()->isExposed())
        repaint();
    // Under a window manager the window is mapped only once the manager has handled the
    // request, and only a mapped window can be painted: without this wait the blocking work
    // that follows would leave the screen without any window at all.
    QElapsedTimer clock;
    clock.start();
    QTimer wake;  // a manager that never maps the window must not hold the work up
    wake.start(20);
    while (!m_painted && clock.elapsed() < kMaxWaitForScreenMs)
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                    QEventLoop::WaitForMoreEvents);
    // Hands the painted picture to the display before the event loop stops.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void CPleaseWait::paintEvent(QPaintEvent* event) {
    // The pages' light face with a dark edge: without a frame of its own from a window
    // manager it would be a bare grey box.
    QPainter painter(this);
    QLinearGradient face(0, 0, 0, height());
    face.setColorAt(0, QColor(250, 251, 252));
    face.setColorAt(1, QColor(222, 226, 231));
    painter.fillRect(rect(), face);
    painter.setPen(QPen(kInk, 2));
    painter.drawRect(rect().adjusted(1, 1, -1, -1));
    QWidget::paintEvent(event);
    m_painted = true;
}

void CPleaseWait::hideEvent(QHideEvent* event) {
    m_painted = false;
    QWidget::hideEvent(event);
}

}  // namespace sondrel
