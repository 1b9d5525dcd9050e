// What the main window's rows and tabs lead to: the catalogue library, given the
// program's process-wide values.
#include "toolbox/main_window.h"

#include "toolbox/catalogue/catalogue_loads.h"
#include "toolbox/catalogue/download_job.h"
#include "toolbox/catalogue/downloads.h"
#include "toolbox/catalogue/open_and_launch.h"
#include "toolbox/toolbox_values.h"

namespace {

// Read at each use: start-up fills the values before the window exists, and tests may
// point them at another server or folder.
CatalogueContext CurrentCatalogueContext() {
    return CatalogueContext{Toolbox().InstallDir, Toolbox().ServerBaseUrl, Toolbox().TaxCode,
                            Toolbox().MainWindowHandle};
}

}  // namespace

void Veltrin::LoadSoftwareCatalogue() { StartSoftwareLoad(m_pSoftList, CurrentCatalogueContext(), &m_rowCounter); }

void Veltrin::LoadDocumentCatalogue(const std::string& folderId) {
    StartDocumentLoad(m_pFileList, CurrentCatalogueContext(), folderId);
}

void Veltrin::StartSoftwareDownload(SkinSoftListControl* control) {
    ::StartSoftwareDownload(control, CurrentCatalogueContext());
}

void Veltrin::CancelSoftwareDownload(SkinSoftListControl* control) { ::CancelSoftwareDownload(control); }

void Veltrin::StartDocumentDownload(FileListControl* control) {
    ::StartDocumentDownload(control, CurrentCatalogueContext());
}

void Veltrin::OpenLocalFile(const std::string& path) { ::OpenLocalFile(path); }

void Veltrin::LaunchInstalledProgram(const DuiSoft& entry) { ::LaunchInstalledProgram(entry, m_hWnd); }

LRESULT Veltrin::OnDownloadMessage(WPARAM code, LPARAM job) { return ::OnDownloadMessage(m_paintManager, code, job); }

int Veltrin::RunningSoftwareDownloads() const { return RunningDownloadCount().load(); }
