#include "export/qt/CWizTrackPage.h"

#include <QShortcut>

#include "base/StringTable.h"
#include "export/qt/TagFields.h"
#include "ui/SkinResourceIds.h"
#include "ui/UiText.h"

namespace sondrel {

namespace {

constexpr int kPollMs = 30;

}  // namespace

CWizTrackPage::CWizTrackPage(QWidget* parent) : CWizardDlg(parent, kNextButton | kBackButton) {
    SetBackgroundId(203);
    AddPageText(kTagTitleRect, kTextCheckTracks);
    m_overview = new CTrackOverview(this);
    m_overview->setGeometry(Scaled(QRect(40, 100, 720, 150)));
    m_closeUp = new CCutCloseUp(this);
    m_closeUp->setGeometry(Scaled(QRect(40, 262, 470, 118)));
    m_listen = MakeTool(kIdsListen, QRect(526, 258, 112, 40));
    m_snap = MakeTool(kIdsSnapCut, QRect(646, 258, 112, 40));
    m_add = MakeTool(kIdsAddCut, QRect(526, 300, 112, 40));
    m_remove = MakeTool(kIdsRemoveCut, QRect(646, 300, 112, 40));
    m_undo = MakeTool(kIdsUndoCut, QRect(526, 342, 112, 40));
    m_sideLengths = MakeTool(kIdsCutsAtSide, QRect(646, 342, 112, 40));
    m_sideLengths->setAccessibleDescription(UiText(kIdsCutsAtSideHelp));
    m_sideLengths->setToolTip(m_sideLengths->accessibleDescription());
    m_status = new CKxStatic(this);
    m_status->setGeometry(Scaled(QRect(48, 412, 440, 40)));
    m_status->setWordWrap(true);
    connect(m_listen, &QAbstractButton::clicked, this, [this] {
        if (m_state)
            m_state->ToggleListenAroundCut();
        OnTimer();
    });
    connect(m_snap, &QAbstractButton::clicked, this, [this] { Edit(&TrackPageState::Snap); });
    connect(m_add, &QAbstractButton::clicked, this,
            [this] { Edit(&TrackPageState::AddAtListening); });
    connect(m_remove, &QAbstractButton::clicked, this, [this] { Edit(&TrackPageState::Remove); });
    connect(m_undo, &QAbstractButton::clicked, this, [this] { Edit(&TrackPageState::Undo); });
    connect(m_sideLengths, &QAbstractButton::clicked, this,
            [this] { Edit(&TrackPageState::PlaceAtSideLengths); });
    auto* undoKey = new QShortcut(QKeySequence::Undo, this);
    connect(undoKey, &QShortcut::activated, this, [this] { Edit(&TrackPageState::Undo); });
    connect(m_overview, &CTrackOverview::cutsChanged, this, [this] { Refresh(); });
    connect(m_overview, &CTrackOverview::listeningChanged, this, [this] { OnTimer(); });
    m_timer.setInterval(kPollMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { OnTimer(); });
    SetTabOrder({m_overview, m_listen, m_snap, m_add, m_remove, m_undo, m_sideLengths});
}

CKxButton* CWizTrackPage::MakeTool(StringId caption, QRect designRect) {
    auto* button = new CKxButton(this);
    button->setText(UiText(caption));
    button->setAccessibleName(button->text());
    button->setGeometry(Scaled(designRect));
    return button;
}

void CWizTrackPage::SetState(TrackPageState* state) {
    m_state = state;
    m_overview->SetState(state);
    m_closeUp->SetState(state);
}

void CWizTrackPage::Edit(bool (TrackPageState::*edit)()) {
    if (!m_state)
        return;
    (m_state->*edit)();
    m_overview->update();
    Refresh();
}

void CWizTrackPage::OnInitDialog() {
    CWizardDlg::OnInitDialog();
    NextButton()->setText(UiText(kIdsTracksDone));
    for (CKxButton* tool : {m_listen, m_snap, m_add, m_remove, m_undo, m_sideLengths}) {
        tool->SetLabelFont();
        tool->LoadImages(kPictureTool, kPictureToolPressed, 0, 0);
        tool->SetLabelRect(QRect(6, 2, 100, 32));
        tool->SetTextColor(QColor(30, 38, 48));
    }
    m_sideLengths->setVisible(m_state && m_state->CanPlaceAtSideLengths());
    m_status->ApplyLabelFont(true);
    m_overview->StartPicture();
    m_closeUp->Stop();
    Refresh();
    m_overview->setFocus();
    m_timer.start();
}

void CWizTrackPage::OnDestroy() {
    m_timer.stop();
    m_overview->StopPicture();
    m_closeUp->Stop();
    if (m_state)
        m_state->StopListening();
}

void CWizTrackPage::OnTimer() {
    m_overview->Poll();
    m_closeUp->Poll();
}

void CWizTrackPage::Refresh() {
    if (!m_state)
        return;
    const bool selected = m_state->cuts.Selected() >= 0;
    m_snap->setEnabled(selected);
    m_remove->setEnabled(selected);
    m_undo->setEnabled(m_state->cuts.CanUndo());
    QString status = QString::fromStdString(m_state->SelectionText());
    if (m_state->noteFailed)
        status += QStringLiteral("\n") + UiText(kIdsCutsNotSaved);
    m_status->setText(status);
    m_overview->setAccessibleDescription(status + QStringLiteral(". ") + UiText(kIdsTracksKeys));
    m_closeUp->ShowAround(m_overview->ShownCutFrame());
    m_overview->update();
}

}  // namespace sondrel
