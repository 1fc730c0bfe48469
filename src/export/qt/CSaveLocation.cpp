#include "export/qt/CSaveLocation.h"

#include <QFileDialog>
#include <QStyle>

#include "base/StringTable.h"
#include "ui/CKxButton.h"
#include "ui/CWizardDlg.h"
#include "ui/UiText.h"

namespace sondrel {

CSaveLocation::CSaveLocation(CWizardDlg& page, const PageServices& services, QRect folderRect,
                             QRect buttonRect, QRect formatRect)
    : QObject(&page), m_page(page), m_services(services) {
    m_folder = new QLabel(&page);
    m_folder->setGeometry(page.Scaled(folderRect));
    m_folder->setTextFormat(Qt::PlainText);
    m_folder->setAccessibleName(UiText(kIdsSaveLocation));
    m_browse = new QToolButton(&page);
    m_browse->setGeometry(page.Scaled(buttonRect));
    m_browse->setIcon(page.style()->standardIcon(QStyle::SP_DirOpenIcon));
    m_browse->setAccessibleName(UiText(kIdsChooseSaveLocation));
    m_browse->setToolTip(UiText(kIdsChooseSaveLocation));
    m_browse->setFocusPolicy(Qt::StrongFocus);
    connect(m_browse, &QToolButton::clicked, this, [this] { Browse(); });
    m_format = new QComboBox(&page);
    m_format->setGeometry(page.Scaled(formatRect));
    m_format->addItem(UiText(kIdsFormatWav), QString::fromLatin1(FormatName(ExportFormat::Wav)));
    m_format->addItem(UiText(kIdsFormatFlac), QString::fromLatin1(FormatName(ExportFormat::Flac)));
    const QString formatName = UiText(kIdsExportFormat);
    m_format->setAccessibleName(formatName);
    m_format->setToolTip(formatName);
    m_format->setFocusPolicy(Qt::StrongFocus);
    connect(m_format, &QComboBox::activated, this, [this](int) {
        if (m_services.writeExportFormat)
            m_services.writeExportFormat(m_format->currentData().toString().toStdString());
    });
    chooseFolder = [this](const QString& current) {
        // Qt's own chooser starts on the current folder and can make new folders.
        return QFileDialog::getExistingDirectory(
            &m_page, m_page.windowTitle(), current,
            QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    };
}

void CSaveLocation::Refresh() {
    if (!m_services.readExportFolder)
        return;
    m_current = QString::fromStdString(m_services.readExportFolder().string());
    // Long paths keep their end, where the folder's own name is.
    m_folder->setText(
        m_folder->fontMetrics().elidedText(m_current, Qt::ElideMiddle, m_folder->width()));
    m_folder->setToolTip(m_current);
}

void CSaveLocation::ExchangeFormat(ExportFormat& format, bool save) {
    if (save) {
        ParseFormatName(m_format->currentData().toString().toStdString(), format);
    } else {
        m_format->setCurrentIndex(format == ExportFormat::Flac ? 1 : 0);
    }
}

void CSaveLocation::Browse() {
    const QString chosen = chooseFolder ? chooseFolder(m_current) : QString();
    if (chosen.isEmpty() || !m_services.writeExportFolder)
        return;
    std::filesystem::path folder = chosen.toStdString();
    m_services.writeExportFolder(folder);
    Refresh();
}

}  // namespace sondrel
