#include "ui/CLiveMeter.h"

namespace sondrel {

namespace {
constexpr int kPollMs = 50;
}

CLiveMeter::CLiveMeter(CWizardDlg& page, std::function<void()> onTick)
    : QObject(&page), m_page(page), m_meter(new CVuMeters(&page)) {
    m_meter->setGeometry(page.Scaled(CVuMeters::kDesignRect));
    m_timer.setInterval(kPollMs);
    connect(&m_timer, &QTimer::timeout, this, std::move(onTick));
}

void CLiveMeter::Start() {
    m_meter->setGeometry(m_page.Scaled(CVuMeters::kDesignRect));
    m_meter->SetClipIndicator(true);
    m_meter->SetScale(m_page.ScaleX(), m_page.ScaleY());
    m_meter->SetBackgroundPicture(m_page.Background());
    m_timer.start();
}

}  // namespace sondrel
