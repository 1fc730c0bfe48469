#include "export/qt/CWizFinishedDlg.h"

#include <QApplication>
#include <QLabel>
#include <QTextBrowser>

#include "export/qt/TagFields.h"
#include "ui/SkinResourceIds.h"
#include "ui/UiText.h"

namespace sondrel {

CWizFinishedDlg::CWizFinishedDlg(const PageServices& services, QWidget* parent)
    : CWizardDlg(parent, kNoButtons), m_services(services) {
    SetBackgroundId(kPicturePageBand);
    // Enabled as the help text is, but without a link: no stop for the keyboard.
    AddPageText(kTagTitleRect, kTextRecordingComplete, true)->setFocusPolicy(Qt::NoFocus);
    AddPageText(QRect(48, 110, 600, 40), kTextWhatNow, true)->setFocusPolicy(Qt::NoFocus);
    const auto makeButton = [this](StringId caption, int x) {
        auto* button = new CKxButton(this);
        button->setText(UiText(caption));
        button->setGeometry(Scaled(QRect(x, 238, 180, 53)));
        return button;
    };
    m_again = makeButton(kIdsRecordSomethingElse, 110);
    m_close = makeButton(kIdsCloseProgram, 310);
    m_open = makeButton(kIdsOpenSaveLocation, 510);
    // Halfway between the band and the groove below, so that both lines have the same room.
    m_help = AddPageText(QRect(48, 331, 640, 52), kTextSupportPage, true);
    m_note = new QLabel(this);
    m_note->setGeometry(Scaled(QRect(48, 400, 440, 80)));
    m_note->setWordWrap(true);
    m_note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_note->hide();
    connect(m_again, &QAbstractButton::clicked, this, [this] { Choose(1); });
    connect(m_close, &QAbstractButton::clicked, this, [this] { Choose(0); });
    connect(m_open, &QAbstractButton::clicked, this, [this] {
        if (m_services.openFolder && m_services.readExportFolder)
            m_services.openFolder(m_services.readExportFolder());
    });
    connect(m_help, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        const QString address = url.toString().trimmed();
        if (address.isEmpty() || !m_services.openUrl)
            return;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_services.openUrl(address.toStdString());
        QApplication::restoreOverrideCursor();
    });
    SetTabOrder({m_again, m_close, m_open, m_help});
}

void CWizFinishedDlg::SetNote(const QString& note) {
    m_note->setText(note);
    m_note->setVisible(!note.isEmpty());
}

void CWizFinishedDlg::OnInitDialog() {
    CWizardDlg::OnInitDialog();
    for (CKxButton* button : {m_again, m_close, m_open}) {
        button->SetLabelFont();
        button->LoadImages(kPictureFinishedAction, kPictureFinishedActionPressed, 0, 0);
        button->SetTextColor(QColor(255, 0, 0));
    }
    const int choice = m_state ? m_state->choice : 1;
    m_again->SetToggled(choice == 1);
    m_close->SetToggled(choice != 1);
    m_again->setFocus();
}

void CWizFinishedDlg::Choose(int choice) {
    if (m_state)
        m_state->choice = choice;
    m_again->SetToggled(choice == 1);
    m_close->SetToggled(choice != 1);
    EndPage(PageResult::Next);
}

}  // namespace sondrel
