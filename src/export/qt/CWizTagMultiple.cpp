#include "export/qt/CWizTagMultiple.h"

#include <QTextBrowser>
#include "export/qt/TagFields.h"
#include "ui/CKxButton.h"
#include "ui/SkinResourceIds.h"
#include "ui/UiText.h"

namespace sondrel {

namespace {
constexpr int kNameRow = 140;
constexpr int kHeaderRow = 172;
constexpr int kFirstTitleRow = 196;
constexpr int kTitleRowStep = 27;
constexpr int kColumnX[2] = {48, 356};
}  // namespace

CWizTagMultiple::CWizTagMultiple(const PageServices& services, QWidget* parent)
    : CWizTagMultiple(services, parent, false) {}

CWizTagMultiple::CWizTagMultiple(const PageServices& services, QWidget* parent, bool morePage)
    : CWizardDlg(parent, kNextButton | kBackButton), m_morePage(morePage) {
    SetBackgroundId(kPicturePagePlain);
    AddPageText(kTagTitleRect, morePage ? kTextTagMoreTracks : kTextTagTracks);
    AddPageText(QRect(48, 96, 704, 44), morePage ? kTextEnterMoreTitles : kTextEnterAlbumTags);
    QTextBrowser* artistLabel = AddPageText(QRect(48, kNameRow, 70, 26), kTextArtistLabel);
    m_artist = MakeTagField(*this, QRect(120, kNameRow, 222, 26), UiText(kIdsArtist));
    QTextBrowser* albumLabel = AddPageText(QRect(356, kNameRow, 70, 26), kTextAlbumLabel);
    m_album = MakeTagField(*this, QRect(428, kNameRow, 222, 26), UiText(kIdsAlbum));
    m_fieldLabels = {artistLabel, albumLabel};
    std::vector<QWidget*> titleGrid = {
        AddPageText(QRect(kColumnX[0] + 28, kHeaderRow, 200, 24), kTextTrackTitleLabel),
        AddPageText(QRect(kColumnX[1] + 28, kHeaderRow, 200, 24), kTextTrackTitleLabel)};
    for (int i = 0; i < 10; ++i) {
        const int column = i / 5;
        const int y = kFirstTitleRow + (i % 5) * kTitleRowStep;
        m_numbers[i] = new CKxStatic(this);
        m_numbers[i]->setGeometry(Scaled(QRect(kColumnX[column], y, 24, 24)));
        m_numbers[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_numbers[i]->setText(QString::number(i + (morePage ? 11 : 1)));
        m_titles[i] =
            MakeTagField(*this, QRect(kColumnX[column] + 28, y, 266, 25), UiText(kIdsTrackTitle));
        titleGrid.push_back(m_numbers[i]);
    }
    std::vector<QWidget*> order;
    if (!morePage) {
        // The list of matches stands in for the title grid while the user picks one.
        m_lookup = new CTitleLookupPanel(
            *this,
            {QRect(660, kNameRow - 2, 92, 30), QRect(kColumnX[0], kHeaderRow, 602, 126),
             QRect(kColumnX[0], kHeaderRow + 132, 300, 26), QRect(208, 404, 288, 64)},
            m_artist, m_album, std::vector<QLineEdit*>(m_titles.begin(), m_titles.end()),
            titleGrid);
        order = {m_artist, m_album};
        const std::vector<QWidget*> lookup = m_lookup->TabOrder();
        order.insert(order.end(), lookup.begin(), lookup.end());
    }
    order.insert(order.end(), m_titles.begin(), m_titles.end());
    if (morePage) {
        // Artist and album belong to the first page only.
        for (QWidget* widget : {static_cast<QWidget*>(artistLabel), static_cast<QWidget*>(m_artist),
                                static_cast<QWidget*>(albumLabel), static_cast<QWidget*>(m_album)})
            widget->hide();
    } else {
        AddPageText(QRect(48, 340, 130, 26), kTextSaveLocation);
        m_saveLocation = new CSaveLocation(*this, services, QRect(180, 342, 338, 24),
                                           QRect(524, 336, 34, 32), QRect(566, 338, 84, 28));
        order.push_back(m_saveLocation->BrowseButton());
        order.push_back(m_saveLocation->FormatChooser());
        m_checkTracks = MakeCheckTracksButton(*this);
        connect(m_checkTracks, &QAbstractButton::clicked, this,
                [this] { EndWithFields(PageResult::CheckTracks); });
        order.push_back(m_checkTracks);
    }
    SetTabOrder(order);
}

void CWizTagMultiple::OnInitDialog() {
    CWizardDlg::OnInitDialog();
    for (QTextBrowser* label : m_fieldLabels)
        AlignPageText(label, Qt::AlignRight);
    if (m_saveLocation)
        m_saveLocation->Refresh();
    if (m_checkTracks)
        ShowCheckTracks(m_checkTracks, m_state && m_state->offerTrackCheck);
    if (m_lookup && m_state) {
        m_lookup->SetRecordingTrackCount(m_state->trackCount);
        m_lookup->SetTrackCheckOffered(m_state->offerTrackCheck);
    }
    for (int position = 1; position <= 10; ++position) {
        const bool enabled = !m_state || m_state->TitleEnabled(position);
        m_titles[position - 1]->setEnabled(enabled);
        if (m_state && (m_morePage || m_state->firstTrackOffset > 0)) {
            m_numbers[position - 1]->setText(
                QString::fromStdString(m_state->NumberLabel(position)));
        }
    }
    (m_morePage ? m_titles[0] : m_artist)->setFocus();
}

void CWizTagMultiple::DoDataExchange(bool save) {
    if (!m_state)
        return;
    if (!m_morePage) {
        ExchangeText(m_artist, m_state->artist, save);
        ExchangeText(m_album, m_state->album, save);
        m_saveLocation->ExchangeFormat(m_state->format, save);
    }
    for (std::size_t i = 0; i < m_titles.size(); ++i)
        ExchangeText(m_titles[i], m_state->titles[i], save);
    if (m_lookup && save)
        m_state->side = m_lookup->UsedSide();
    else if (m_lookup)
        m_lookup->StartShowing(m_state->side);
}

}  // namespace sondrel
