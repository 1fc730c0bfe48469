#include "export/qt/TagFields.h"

#include "base/StringTable.h"
#include "ui/CKxButton.h"
#include "ui/CWizardDlg.h"
#include "ui/UiText.h"

namespace sondrel {

QLineEdit* MakeTagField(CWizardDlg& page, QRect designRect, const QString& accessibleName) {
    auto* field = new QLineEdit(&page);
    field->setGeometry(page.Scaled(designRect));
    field->setAccessibleName(accessibleName);
    return field;
}

CKxButton* MakeCheckTracksButton(CWizardDlg& page) {
    auto* button = new CKxButton(&page);
    button->setText(UiText(kIdsCheckTracks));
    button->setAccessibleName(button->text());
    button->setGeometry(page.Scaled(QRect(48, 408, 152, 61)));
    button->hide();
    return button;
}

void ShowCheckTracks(CKxButton* button, bool offered) {
    button->SetLabelFont();
    button->LoadImages(209, 208, 0, 0);
    button->SetTextColor(QColor(30, 38, 48));
    button->setVisible(offered);
}

void ExchangeText(QLineEdit* field, std::string& member, bool save) {
    if (save)
        member = field->text().toStdString();
    else
        field->setText(QString::fromStdString(member));
}

}  // namespace sondrel
