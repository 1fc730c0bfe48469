// The tag page for tracks 1-10 of a recording of several tracks: artist, album, ten titles (those
// past the track count disabled) and the save location.
#pragma once

#include <QLineEdit>
#include <array>

#include "export/ExportPageState.h"
#include "export/qt/CSaveLocation.h"
#include "export/qt/CTitleLookupPanel.h"
#include "ui/CKxButton.h"
#include "ui/CKxStatic.h"
#include "ui/CWizardDlg.h"

namespace sondrel {

class CWizTagMultiple : public CWizardDlg {
    Q_OBJECT
public:
    CWizTagMultiple(const PageServices& services, QWidget* parent = nullptr);
    void SetState(TagMultiplePageState* state) { m_state = state; }

    QLineEdit* Artist() const { return m_artist; }
    QLineEdit* Album() const { return m_album; }
    // Page position 1..10.
    QLineEdit* TitleField(int position) const { return m_titles[position - 1]; }
    CKxStatic* NumberLabel(int position) const { return m_numbers[position - 1]; }
    // Null on the pages for tracks 11-40.
    CKxButton* CheckTracksButton() const { return m_checkTracks; }
    // The title lookup; the first page only.
    CTitleLookupPanel* Lookup() const { return m_lookup; }

protected:
    // The pages for tracks 11-40 share the layout without artist, album and save location.
    CWizTagMultiple(const PageServices& services, QWidget* parent, bool morePage);
    void OnInitDialog() override;
    void DoDataExchange(bool save) override;

private:
    const bool m_morePage;
    TagMultiplePageState* m_state = nullptr;
    QLineEdit* m_artist;
    QLineEdit* m_album;
    std::array<QLineEdit*, 10> m_titles{};
    std::array<CKxStatic*, 10> m_numbers{};
    std::vector<QTextBrowser*> m_fieldLabels;
    CSaveLocation* m_saveLocation = nullptr;
    CKxButton* m_checkTracks = nullptr;
    CTitleLookupPanel* m_lookup = nullptr;
};

}  // namespace sondrel
