#include "app/qt/MessageBoxes.h"

#include <QMessageBox>

#include "ui/SkinPicture.h"

namespace sondrel {

int AskMessage(QWidget* owner, const std::string& text, MessageButtons buttons, MessageIcon icon,
               const std::string& caption) {
    QMessageBox box(owner);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setWindowIcon(ApplicationIcon());
    box.setText(QString::fromStdString(text));
    box.setIcon(icon == MessageIcon::Question      ? QMessageBox::Question
                : icon == MessageIcon::Information ? QMessageBox::Information
                                                   : QMessageBox::Warning);
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int answer = box.exec();
    if (buttons == MessageButtons::Ok)
        return kAnswerOk;
    return answer == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
}

}  // namespace sondrel
