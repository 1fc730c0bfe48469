#include "export/qt/CPleaseWait.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

#include "base/StringTable.h"

namespace sondrel {

CPleaseWait::CPleaseWait(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QString::fromStdString(LoadString(kIdsProductTitle)));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("Please wait..."), this);
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
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace sondrel
