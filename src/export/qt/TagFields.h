// The text fields of the tag pages and where their rows sit.
#pragma once

#include <QLineEdit>
#include <QRect>
#include <string>

namespace sondrel {

class CWizardDlg;
class CKxButton;

inline constexpr QRect kTagTitleRect{48, 38, 660, 46};
inline constexpr QRect kSaveLocationLabelRect{48, 332, 140, 26};

// A field that takes any text: what the exporter cannot use in a name it cleans itself.
QLineEdit* MakeTagField(CWizardDlg& page, QRect designRect, const QString& accessibleName);
// "check tracks" at the bottom left, under the fields; hidden until ShowCheckTracks.
CKxButton* MakeCheckTracksButton(CWizardDlg& page);
// Skins it for this showing and shows it when the cuts may still be mended.
void ShowCheckTracks(CKxButton* button, bool offered);
// Field to member (save) or member to field, as UTF-8.
void ExchangeText(QLineEdit* field, std::string& member, bool save);

}  // namespace sondrel
