#include "export/qt/CTitleLookupPanel.h"

#include <QHeaderView>
#include <QKeyEvent>

#include "base/StringTable.h"
#include "export/ReleaseSides.h"
#include "export/TitleLookupText.h"
#include "recording/CutsAtDurations.h"
#include "ui/CWizardDlg.h"
#include "ui/UiText.h"

namespace sondrel {

namespace {

QPushButton* MakeButton(CWizardDlg& page, QRect designRect, StringId text) {
    auto* button = new QPushButton(UiText(text), &page);
    button->setGeometry(page.Scaled(designRect));
    button->setAccessibleName(button->text());
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAutoDefault(false);
    return button;
}

QTreeWidget* MakeMatchList(CWizardDlg& page, QRect designRect) {
    auto* list = new QTreeWidget(&page);
    list->setGeometry(page.Scaled(designRect));
    list->setAccessibleName(UiText(kIdsLookupMatches));
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setHeaderLabels(UiText(kIdsLookupColumns).split(QLatin1Char('|')));
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list->setFocusPolicy(Qt::StrongFocus);
    return list;
}

}  // namespace

CTitleLookupPanel::CTitleLookupPanel(CWizardDlg& page, const Layout& layout, QLineEdit* artist,
                                     QLineEdit* album, std::vector<QLineEdit*> titles,
                                     std::vector<QWidget*> coveredWhileChoosing)
    : QObject(&page),
      m_page(page),
      m_artist(artist),
      m_album(album),
      m_titles(std::move(titles)),
      m_covered(std::move(coveredWhileChoosing)),
      m_client(new CMusicBrainzClient(this)),
      m_filled(m_titles.size()) {
    m_lookUp = MakeButton(page, layout.button, kIdsLookUp);
    m_list = MakeMatchList(page, layout.list);
    const QRect row = layout.sideRow;
    m_sideLabel = new QLabel(UiText(kIdsLookupSide), &page);
    m_sideLabel->setGeometry(page.Scaled(QRect(row.x(), row.y(), 44, row.height())));
    m_side = new QComboBox(&page);
    m_side->setGeometry(page.Scaled(QRect(row.x() + 48, row.y(), 72, row.height())));
    m_side->setAccessibleName(m_sideLabel->text());
    m_side->setFocusPolicy(Qt::StrongFocus);
    m_sideLabel->setBuddy(m_side);
    m_use =
        MakeButton(page, QRect(row.x() + 128, row.y() - 2, 92, row.height() + 4), kIdsLookupUse);
    m_status = new QLabel(&page);
    m_status->setGeometry(page.Scaled(layout.status));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    connect(m_lookUp, &QPushButton::clicked, this, [this] { LookUp(); });
    connect(m_use, &QPushButton::clicked, this, [this] { Use(); });
    connect(m_list, &QTreeWidget::itemActivated, this, [this] { Use(); });
    for (QWidget* control : {static_cast<QWidget*>(m_list), static_cast<QWidget*>(m_side),
                             static_cast<QWidget*>(m_use)})
        control->installEventFilter(this);
    FillSides("AB");
    SetChoosing(false);
}

bool CTitleLookupPanel::eventFilter(QObject* watched, QEvent* event) {
    // Escape puts the list away instead of closing the page.
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        SetChoosing(false);
        m_lookUp->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void CTitleLookupPanel::LookUp() {
    SetChoosing(false);
    const QString artist = m_artist->text().trimmed();
    const QString album = m_album->text().trimmed();
    if (artist.isEmpty() || album.isEmpty()) {
        m_client->Cancel();
        Say(LoadString(kIdsLookupNeedsNames));
        return;
    }
    // The same names again offer the same matches (another side, another release) without
    // asking the service twice.
    const QStringList query = {artist, album};
    if (query == m_lastQuery && !m_matches.empty()) {
        m_client->Cancel();
        ShowMatches(std::move(m_matches));
        Say(FormatPickText(m_matches.size()));
        m_list->setFocus(Qt::OtherFocusReason);
        return;
    }
    m_lastQuery = query;
    Say(LoadString(kIdsLookupSearching));
    m_client->FindReleases(artist, album,
                           [this](LookupStatus status, std::vector<ReleaseMatch> matches) {
                               OnMatches(status, std::move(matches));
                           });
}

void CTitleLookupPanel::OnMatches(LookupStatus status, std::vector<ReleaseMatch> matches) {
    if (status != LookupStatus::Found) {
        m_lastQuery.clear();
        Say(LookupFailureText(status));
        return;
    }
    ShowMatches(std::move(matches));
    Say(FormatPickText(m_matches.size()));
    m_list->setFocus(Qt::OtherFocusReason);
}

void CTitleLookupPanel::ShowMatches(std::vector<ReleaseMatch> matches) {
    m_matches = std::move(matches);
    m_list->clear();
    for (const ReleaseMatch& match : m_matches) {
        const QStringList columns = {
            QString::fromStdString(match.title),  QString::fromStdString(match.artist),
            QString::fromStdString(match.date),   QString::fromStdString(match.country),
            QString::fromStdString(match.format), QString::number(match.trackCount)};
        auto* item = new QTreeWidgetItem(m_list, columns);
        item->setToolTip(0, QString::fromStdString(DescribeRelease(match)));
    }
    if (!m_matches.empty())
        m_list->setCurrentItem(m_list->topLevelItem(static_cast<int>(BestMatch(m_matches))));
    // Most records have two sides, double albums four; a release seen before adds its own.
    std::string letters = "ABCD";
    for (const char letter : SideLetters(m_tracks)) {
        if (letters.find(letter) == std::string::npos)
            letters += letter;
    }
    FillSides(letters);
    SetChoosing(true);
}

void CTitleLookupPanel::Use() {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0 || row >= static_cast<int>(m_matches.size()))
        return;
    const std::string id = m_matches[static_cast<std::size_t>(row)].id;
    if (id == m_loadedId) {
        ApplySide();
        return;
    }
    Say(LoadString(kIdsLookupLoading));
    m_client->LoadRelease(QString::fromStdString(id),
                          [this, id](LookupStatus status, std::vector<ReleaseTrack> tracks) {
                              OnTracks(id, status, std::move(tracks));
                          });
}

void CTitleLookupPanel::OnTracks(const std::string& id, LookupStatus status,
                                 std::vector<ReleaseTrack> tracks) {
    if (status != LookupStatus::Found) {
        Say(LookupFailureText(status));
        return;
    }
    m_loadedId = id;
    m_tracks = std::move(tracks);
    // The release that loaded is the one named, wherever the selection went meanwhile.
    for (std::size_t row = 0; row < m_matches.size(); ++row) {
        if (m_matches[row].id == id)
            m_list->setCurrentItem(m_list->topLevelItem(static_cast<int>(row)));
    }
    ApplySide();
}

// The side chosen before stays chosen. A release without side letters gives all its tracks
// whichever side is chosen.
void CTitleLookupPanel::FillSides(const std::string& letters) {
    const QString chosen = m_side->currentText();
    m_side->clear();
    for (const char letter : letters)
        m_side->addItem(QString(QLatin1Char(letter)));
    m_side->setCurrentIndex(std::max(0, m_side->findText(chosen)));
}

void CTitleLookupPanel::ApplySide() {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0 || row >= static_cast<int>(m_matches.size()))
        return;
    const QString chosen = m_side->currentText();
    const char side = chosen.isEmpty() ? 'A' : chosen[0].toLatin1();
    std::vector<ReleaseTrack> onSide = TracksOfSide(m_tracks, side);
    if (onSide.empty()) {
        Say(FormatNoSideText(side));
        return;
    }
    std::vector<std::string> titles;
    for (std::size_t i = 0; i < m_titles.size() && m_titles[i]->isEnabled(); ++i)
        titles.push_back(Fillable(i) ? std::string() : m_titles[i]->text().toStdString());
    FillEmptyTitles(titles, onSide);
    for (std::size_t i = 0; i < titles.size(); ++i) {
        if (Fillable(i)) {
            m_filled[i] = QString::fromStdString(titles[i]);
            m_titles[i]->setText(m_filled[i]);
        }
    }
    m_sideTracks = std::move(onSide);
    SetChoosing(false);
    std::string said = FormatFilledText(m_matches[static_cast<std::size_t>(row)]);
    if (m_recordingTracks > 0 &&
        m_sideTracks.size() != static_cast<std::size_t>(m_recordingTracks)) {
        std::vector<std::uint64_t> lengths;
        for (const ReleaseTrack& track : m_sideTracks)
            lengths.push_back(track.lengthMs);
        said += " " + FormatCountDiffersText(m_sideTracks.size(), m_recordingTracks,
                                             m_trackCheckOffered && CanCutAtDurations(lengths));
    }
    Say(said);
}

void CTitleLookupPanel::StartShowing(const LookedUpSide& side) {
    m_client->Cancel();
    SetChoosing(false);
    Say({});
    m_sideTracks.clear();
    for (std::size_t i = 0; i < side.titles.size(); ++i) {
        ReleaseTrack track;
        track.title = side.titles[i];
        track.lengthMs = i < side.lengthsMs.size() ? side.lengthsMs[i] : 0;
        m_sideTracks.push_back(std::move(track));
    }
    for (std::size_t i = 0; i < m_filled.size(); ++i)
        m_filled[i] = i < side.titles.size() ? QString::fromStdString(side.titles[i]) : QString();
}

bool CTitleLookupPanel::Fillable(std::size_t i) const {
    const QString text = m_titles[i]->text();
    return text.isEmpty() || text == m_filled[i];
}

LookedUpSide CTitleLookupPanel::UsedSide() const {
    LookedUpSide side;
    for (const ReleaseTrack& track : m_sideTracks) {
        side.titles.push_back(track.title);
        side.lengthsMs.push_back(track.lengthMs);
    }
    return side;
}

void CTitleLookupPanel::SetChoosing(bool choosing) {
    for (QWidget* control : {static_cast<QWidget*>(m_list), static_cast<QWidget*>(m_sideLabel),
                             static_cast<QWidget*>(m_side), static_cast<QWidget*>(m_use)})
        control->setVisible(choosing);
    for (QWidget* covered : m_covered)
        covered->setVisible(!choosing);
    for (QLineEdit* title : m_titles)
        title->setVisible(!choosing);
}

void CTitleLookupPanel::Say(const std::string& text) {
    m_status->setText(QString::fromStdString(text));
    m_status->setAccessibleName(m_status->text());
}

}  // namespace sondrel
