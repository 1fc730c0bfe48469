#include "export/qt/TagFields.h"

#include "ui/CWizardDlg.h"

namespace sondrel {

QLineEdit* MakeTagField(CWizardDlg& page, QRect designRect, const QString& accessibleName) {
    auto* field = new QLineEdit(&page);
    field->setGeometry(page.Scaled(designRect));
    field->setAccessibleName(accessibleName);
    return field;
}

void ExchangeText(QLineEdit* field, std::string& member, bool save) {
    if (save)
        member = field->text().toStdString();
    else
        field->setText(QString::fromStdString(member));
}

}  // namespace sondrel
