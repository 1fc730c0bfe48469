// The tag page for a recording of one track: artist, album and title (which may be looked up
// online), and the save location.
#pragma once

#include <QLineEdit>

#include "export/ExportPageState.h"
#include "export/qt/CSaveLocation.h"
#include "export/qt/CTitleLookupPanel.h"
#include "ui/CKxButton.h"
#include "ui/CWizardDlg.h"

namespace sondrel {

class CWizTagSingle : public CWizardDlg {
    Q_OBJECT
public:
    CWizTagSingle(const PageServices& services, QWidget* parent = nullptr);
    void SetState(TagSinglePageState* state) { m_state = state; }

    QLineEdit* Artist() const { return m_artist; }
    QLineEdit* Album() const { return m_album; }
    QLineEdit* Title() const { return m_title; }
    CSaveLocation& SaveLocation() { return *m_saveLocation; }
    CKxButton* CheckTracksButton() const { return m_checkTracks; }
    CTitleLookupPanel* Lookup() const { return m_lookup; }

protected:
    void OnInitDialog() override;
    void DoDataExchange(bool save) override;

private:
    TagSinglePageState* m_state = nullptr;
    QLineEdit* m_artist;
    QLineEdit* m_album;
    QLineEdit* m_title;
    QLineEdit* m_trackNumber;
    std::vector<QTextBrowser*> m_fieldLabels;
    CSaveLocation* m_saveLocation;
    CKxButton* m_checkTracks;
    CTitleLookupPanel* m_lookup;
};

}  // namespace sondrel
