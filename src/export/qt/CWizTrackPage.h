// The track page, opened from the first tag page: the whole recording with its cuts, a close
// view of the selected cut and the tools to mend the cuts and listen to them. "back" and
// "done" both return to the tag page with the cuts as they are now.
#pragma once

#include <QTimer>

#include "base/StringTable.h"
#include "export/TrackPageState.h"
#include "export/qt/CCutCloseUp.h"
#include "export/qt/CTrackOverview.h"
#include "ui/CKxButton.h"
#include "ui/CKxStatic.h"
#include "ui/CWizardDlg.h"

namespace sondrel {

class CWizTrackPage : public CWizardDlg {
    Q_OBJECT
public:
    explicit CWizTrackPage(QWidget* parent = nullptr);
    void SetState(TrackPageState* state);

    CTrackOverview* Overview() const { return m_overview; }
    CCutCloseUp* CloseUp() const { return m_closeUp; }
    CKxStatic* Status() const { return m_status; }
    CKxButton* ListenButton() const { return m_listen; }
    CKxButton* SnapButton() const { return m_snap; }
    CKxButton* AddButton() const { return m_add; }
    CKxButton* RemoveButton() const { return m_remove; }
    CKxButton* UndoButton() const { return m_undo; }
    CKxButton* SideLengthsButton() const { return m_sideLengths; }

    // One timer tick: the pictures take in what was read, the listening position moves.
    void OnTimer();
    // The status line, the close view and which tools can act, after any change.
    void Refresh();

protected:
    void OnInitDialog() override;
    void OnDestroy() override;

private:
    CKxButton* MakeTool(StringId caption, QRect designRect);
    void Edit(bool (TrackPageState::*edit)());

    TrackPageState* m_state = nullptr;
    CTrackOverview* m_overview;
    CCutCloseUp* m_closeUp;
    CKxStatic* m_status;
    CKxButton* m_listen;
    CKxButton* m_snap;
    CKxButton* m_add;
    CKxButton* m_remove;
    CKxButton* m_undo;
    CKxButton* m_sideLengths;  // shown only after a side was looked up
    QTimer m_timer;
};

}  // namespace sondrel
