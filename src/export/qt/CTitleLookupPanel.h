// The title lookup of the first tag page (or the one-track page): a "look up" button that searches
// the release database for the typed artist and album, a small list of the matches with a side
// chooser that stands in for the title fields while the user picks, and one line that tells how it
// went. The chosen side's titles go into the title fields that are still empty.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <vector>

#include "export/ExportPageState.h"
#include "export/ITitleLookup.h"
#include "export/qt/CMusicBrainzClient.h"

namespace sondrel {

class CWizardDlg;

class CTitleLookupPanel : public QObject {
    Q_OBJECT
public:
    struct Layout {
        QRect button;
        QRect list;
        QRect sideRow;  // the side chooser and "use", left to right
        QRect status;
    };
    // `titles` are the page's title fields, first track first; `coveredWhileChoosing` hides
    // under the list.
    CTitleLookupPanel(CWizardDlg& page, const Layout& layout, QLineEdit* artist, QLineEdit* album,
                      std::vector<QLineEdit*> titles, std::vector<QWidget*> coveredWhileChoosing);

    // The number of tracks of the recording, for the check against the side's.
    void SetRecordingTrackCount(int count) { m_recordingTracks = count; }
    // Whether "check tracks" is offered, where the cuts can follow the side's lengths.
    void SetTrackCheckOffered(bool offered) { m_trackCheckOffered = offered; }
    // Shows the matches to pick from, the best one chosen; also for rendering the page.
    void ShowMatches(std::vector<ReleaseMatch> matches);
    // Puts the list away and shows the title fields again, as Escape does.
    void CloseList() { SetChoosing(false); }
    // The side whose titles were used last (empty before).
    LookedUpSide UsedSide() const;
    // A new showing of the page: the side used before it (empty for a new recording), whose
    // titles still in the fields may be replaced by another side's. Stops a request under way.
    void StartShowing(const LookedUpSide& side);

    QPushButton* LookUpButton() const { return m_lookUp; }
    QTreeWidget* MatchList() const { return m_list; }
    QComboBox* SideChooser() const { return m_side; }
    QPushButton* UseButton() const { return m_use; }
    QLabel* StatusLine() const { return m_status; }
    CMusicBrainzClient& Client() { return *m_client; }
    // The controls Tab visits, in reading order.
    std::vector<QWidget*> TabOrder() const { return {m_lookUp, m_list, m_side, m_use}; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LookUp();
    void OnMatches(LookupStatus status, std::vector<ReleaseMatch> matches);
    void Use();
    void OnTracks(const std::string& id, LookupStatus status, std::vector<ReleaseTrack> tracks);
    // Whether field i may take a looked-up title: empty, or still what the lookup put there.
    bool Fillable(std::size_t i) const;
    void FillSides(const std::string& letters);
    void ApplySide();
    void SetChoosing(bool choosing);
    void Say(const std::string& text);

    CWizardDlg& m_page;
    QLineEdit* m_artist;
    QLineEdit* m_album;
    std::vector<QLineEdit*> m_titles;
    std::vector<QWidget*> m_covered;
    QPushButton* m_lookUp;
    QTreeWidget* m_list;
    QLabel* m_sideLabel;
    QComboBox* m_side;
    QPushButton* m_use;
    QLabel* m_status;
    CMusicBrainzClient* m_client;
    int m_recordingTracks = 0;
    bool m_trackCheckOffered = false;
    QStringList m_lastQuery;  // artist and album of the matches shown
    std::vector<ReleaseMatch> m_matches;
    std::string m_loadedId;
    std::vector<ReleaseTrack> m_tracks;
    std::vector<ReleaseTrack> m_sideTracks;
    // What the lookup put into each field: a field that still shows it was not typed in, so
    // another side or release may replace it.
    std::vector<QString> m_filled;
};

}  // namespace sondrel
