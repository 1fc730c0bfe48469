// The save location shown on the tag pages: the export folder, a button that picks another
// one with the folder chooser, stores it and shows what the settings made of it, and the
// export's file format beside them, remembered as soon as it is chosen.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QToolButton>

#include "export/ExportFormat.h"
#include "ui/PageServices.h"

namespace sondrel {

class CWizardDlg;

class CSaveLocation : public QObject {
    Q_OBJECT
public:
    // Places the folder text and the browse button on the page at the design rectangles.
    CSaveLocation(CWizardDlg& page, const PageServices& services, QRect folderRect,
                  QRect buttonRect, QRect formatRect);

    // Reads the export folder from the settings and shows it.
    void Refresh();
    QLabel* FolderText() const { return m_folder; }
    QToolButton* BrowseButton() const { return m_browse; }
    QComboBox* FormatChooser() const { return m_format; }
    // The page's format into the chooser (save false) or back (save true).
    void ExchangeFormat(ExportFormat& format, bool save);
    // Replaces the folder chooser in tests: returns the chosen folder, or empty for cancel.
    std::function<QString(const QString& current)> chooseFolder;

private:
    void Browse();

    CWizardDlg& m_page;
    const PageServices& m_services;
    QLabel* m_folder;
    QToolButton* m_browse;
    QComboBox* m_format;
    QString m_current;
};

}  // namespace sondrel
