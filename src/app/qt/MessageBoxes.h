// Message boxes with the string table's texts, the buttons and icon each message asks for and
// the program's name as caption.
#pragma once

#include <QWidget>
#include <string>

#include "app/IWizardHost.h"

namespace sondrel {

// Returns kAnswerOk, kAnswerYes or kAnswerNo. Escape answers No (or OK).
int AskMessage(QWidget* owner, const std::string& text, MessageButtons buttons, MessageIcon icon,
               const std::string& caption);

}  // namespace sondrel
