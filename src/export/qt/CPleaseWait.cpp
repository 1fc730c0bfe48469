#include "export/qt/CPleaseWait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "base/StringTable.h"
#include "ui/UiText.h"

namespace sondrel {

namespace {
constexpr int kMaxWaitForScreenMs = 1000;
}  // namespace

CPleaseWait::CPleaseWait(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(UiText(kIdsProductTitle));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(UiText(kIdsPleaseWait), this);
    text->setAlignment(Qt::AlignCenter);
    QFont font = text->font();
    font.setPointSizeF(12.0);
    text->setFont(font);
    layout->addWidget(text);
    setAutoFillBackground(true);
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
    QWidget::paintEvent(event);
    m_painted = true;
}

void CPleaseWait::hideEvent(QHideEvent* event) {
    m_painted = false;
    QWidget::hideEvent(event);
}

}  // namespace sondrel
