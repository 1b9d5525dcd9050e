#include "toolbox/catalogue_actions.h"

#include "toolbox/catalogue/catalogue_loads.h"
#include "toolbox/catalogue/download_job.h"
#include "toolbox/catalogue/downloads.h"
#include "toolbox/catalogue/open_and_launch.h"
#include "toolbox/catalogue/package_launch.h"
#include "toolbox/toolbox_values.h"

namespace {

// Read at each use: start-up fills the values before the window exists, and tests may
// point them at another server or folder.
CatalogueContext CurrentCatalogueContext() {
    return CatalogueContext{Toolbox().InstallDir, Toolbox().ServerBaseUrl, Toolbox().TaxCode,
                            Toolbox().MainWindowHandle, Toolbox().CatalogueKeys};
}

class CatalogueLibraryActions final : public CatalogueActions {
public:
    void LoadSoftwareCatalogue(CContainerUI* softList, int* rowCounter) override {
        ::LoadSoftwareCatalogue(softList, CurrentCatalogueContext(), rowCounter);
    }
    void LoadDocumentCatalogue(CContainerUI* fileList, const std::string& folderId) override {
        ::LoadDocumentCatalogue(fileList, CurrentCatalogueContext(), folderId);
    }
    void StartSoftwareDownload(SkinSoftListControl* row) override {
        ::StartSoftwareDownload(row, CurrentCatalogueContext());
    }
    void CancelSoftwareDownload(SkinSoftListControl* row) override { ::CancelSoftwareDownload(row); }
    void StartDocumentDownload(FileListControl* row) override {
        ::StartDocumentDownload(row, CurrentCatalogueContext());
    }
    void OpenDocument(const std::string& path, HWND owner) override { ::OpenDocument(path, owner); }
    void OpenDownloadedPackage(SkinSoftListControl* row, const std::string& path) override {
        ::OpenDownloadedPackage(row, CurrentCatalogueContext(), path);
    }
    void LaunchInstalledProgram(const DuiSoft& entry, HWND owner) override { ::LaunchInstalledProgram(entry, owner); }
    LRESULT OnDownloadMessage(CPaintManagerUI& paintManager, WPARAM code, LPARAM job) override {
        return ::OnDownloadMessage(paintManager, code, job);
    }
    int RunningSoftwareDownloads() const override { return RunningDownloadCount().load(); }
};

}  // namespace

std::unique_ptr<CatalogueActions> MakeCatalogueActions() { return std::make_unique<CatalogueLibraryActions>(); }
