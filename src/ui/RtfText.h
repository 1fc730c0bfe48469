// Page texts: RTF resources read into the pages' read-only, transparent text controls.
#pragma once

#include <QTextBrowser>

namespace sondrel {

// Replaces the control's whole content with page text `id`: a language pack's
// ":/lang/rtf/<id>.rtf" wins over the built-in ":/rtf/<id>.rtf". Web addresses in the text
// become links. False, with the control left as it was, when the text is missing or is not RTF;
// also false when it produced no characters.
bool LoadRtfResource(QTextEdit* control, int id);

// A frameless, transparent, read-only text control without scroll bars. A disabled one takes no
// focus and no input but keeps its text colours; an enabled one reports clicked links through
// anchorClicked and opens nothing itself.
QTextBrowser* MakePageTextControl(QWidget* parent, bool enabled);

}  // namespace sondrel
