#include "export/qt/CWizTagSingle.h"

#include <QTextBrowser>
#include "export/qt/TagFields.h"
#include "ui/CKxButton.h"
#include "ui/SkinResourceIds.h"
#include "ui/UiText.h"

namespace sondrel {

CWizTagSingle::CWizTagSingle(const PageServices& services, QWidget* parent)
    : CWizardDlg(parent, kNextButton | kBackButton) {
    SetBackgroundId(kPicturePagePlain);
    AddPageText(kTagTitleRect, kTextTagTrack);
    AddPageText(QRect(48, 98, 600, 30), kTextEnterTrackTags);
    // Label, then field, one row each.
    const int rows[] = {144, 184, 224, 264};
    m_fieldLabels = {AddPageText(QRect(48, rows[0], 140, 26), kTextArtistLabel),
                     AddPageText(QRect(48, rows[1], 140, 26), kTextAlbumLabel),
                     AddPageText(QRect(48, rows[2], 140, 26), kTextTrackTitleLabel),
                     AddPageText(QRect(48, rows[3], 140, 26), kTextTrackLabel)};
    m_artist = MakeTagField(*this, QRect(196, rows[0], 420, 28), UiText(kIdsArtist));
    m_album = MakeTagField(*this, QRect(196, rows[1], 420, 28), UiText(kIdsAlbum));
    m_title = MakeTagField(*this, QRect(196, rows[2], 420, 28), UiText(kIdsTrackTitle));
    m_trackNumber = MakeTagField(*this, QRect(196, rows[3], 60, 28), UiText(kIdsTrack));
    m_trackNumber->setReadOnly(true);
    m_trackNumber->setFocusPolicy(Qt::NoFocus);
    AddPageText(kSaveLocationLabelRect, kTextSaveLocation);
    m_saveLocation = new CSaveLocation(*this, services, QRect(196, 334, 288, 24),
                                       QRect(490, 328, 34, 32), QRect(532, 330, 84, 28));
    m_checkTracks = MakeCheckTracksButton(*this);
    connect(m_checkTracks, &QAbstractButton::clicked, this,
            [this] { EndWithFields(PageResult::CheckTracks); });
    // The list of matches stands in for the title and track rows while the user picks one.
    m_lookup = new CTitleLookupPanel(
        *this,
        {QRect(626, rows[1] - 1, 92, 30), QRect(48, rows[2] - 2, 568, 78),
         QRect(48, rows[2] + 80, 300, 26), QRect(208, 404, 288, 64)},
        m_artist, m_album, {m_title}, {m_fieldLabels[2], m_fieldLabels[3], m_trackNumber});
    std::vector<QWidget*> order = {m_artist, m_album};
    for (QWidget* control : m_lookup->TabOrder())
        order.push_back(control);
    order.insert(order.end(), {m_title, m_saveLocation->BrowseButton(),
                               m_saveLocation->FormatChooser(), m_checkTracks});
    SetTabOrder(order);
}

void CWizTagSingle::OnInitDialog() {
    CWizardDlg::OnInitDialog();
    for (QTextBrowser* label : m_fieldLabels)
        AlignPageText(label, Qt::AlignRight);
    m_saveLocation->Refresh();
    ShowCheckTracks(m_checkTracks, m_state && m_state->offerTrackCheck);
    m_lookup->SetRecordingTrackCount(1);
    m_lookup->SetTrackCheckOffered(m_state && m_state->offerTrackCheck);
    // Later tracks of a side recorded one by one keep the album's names: nothing to look up.
    m_lookup->LookUpButton()->setVisible(!m_state || m_state->trackNumber < 2);
    if (m_state && m_state->trackNumber >= 2) {
        m_artist->setReadOnly(true);
        m_album->setReadOnly(true);
        m_title->setFocus();
    } else {
        m_artist->setFocus();
    }
}

void CWizTagSingle::DoDataExchange(bool save) {
    if (!m_state)
        return;
    ExchangeText(m_artist, m_state->artist, save);
    ExchangeText(m_album, m_state->album, save);
    ExchangeText(m_title, m_state->title, save);
    m_saveLocation->ExchangeFormat(m_state->format, save);
    if (save) {
        m_state->side = m_lookup->UsedSide();
    } else {
        m_trackNumber->setText(QString::number(m_state->trackNumber));
        m_lookup->StartShowing(m_state->side);
    }
}

}  // namespace sondrel
