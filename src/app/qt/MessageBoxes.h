// Message boxes with the string table's texts, the buttons and icon each message asks for and
// the program's name as caption.
#pragma once

#include <QWidget>
#include <string>

#include "app/IWizardHost.h"

namespace sondrel {

// The text as a message box shows it: a date written as day, month and year is not broken
// across lines.
QString MessageBoxText(const std::string& text);

// Escape answers No (or OK).
MessageAnswer AskMessage(QWidget* owner, const std::string& text, MessageButtons buttons,
                         MessageIcon icon, const std::string& caption);

}  // namespace sondrel
