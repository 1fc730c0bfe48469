#include "app/qt/MessageBoxes.h"

#include <QMessageBox>
#include <QRegularExpression>

#include "ui/SkinPicture.h"

namespace sondrel {

QString MessageBoxText(const std::string& text) {
    // The box breaks lines at spaces; "8" at the end of one line and "December 2026" on the
    // next reads as two things.
    static const QRegularExpression date(
        QStringLiteral("\\b(\\d{1,2}\\.?) (\\p{L}+\\.?) (\\d{4})\\b"));
    return QString::fromStdString(text).replace(date, QStringLiteral("\\1\u00A0\\2\u00A0\\3"));
}

MessageAnswer AskMessage(QWidget* owner, const std::string& text, MessageButtons buttons,
                         MessageIcon icon, const std::string& caption) {
    QMessageBox box(owner);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setWindowIcon(ApplicationIcon());
    box.setText(MessageBoxText(text));
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
        return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace sondrel
