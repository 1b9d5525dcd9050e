// What the main window's rows and tabs lead to in the catalogues. A load empties its
// list; downloaded files are opened; downloads and installed programs are not started
// from here, so no worker ever reports and no package download counts as running.
#include "toolbox/main_window.h"

#include "shared/process.h"

void Veltrin::LoadSoftwareCatalogue() {
    if (m_pSoftList != nullptr) m_pSoftList->RemoveAll();
}

void Veltrin::LoadDocumentCatalogue(const std::string& /*folderId*/) {
    if (m_pFileList != nullptr) m_pFileList->RemoveAll();
}

void Veltrin::StartSoftwareDownload(SkinSoftListControl* /*control*/) {}

void Veltrin::CancelSoftwareDownload(SkinSoftListControl* /*control*/) {}

void Veltrin::StartDocumentDownload(FileListControl* /*control*/) {}

void Veltrin::OpenLocalFile(const std::string& path) {
    // Programs are started; any other file goes to the program the shell associates with it.
    if (path.size() >= 3 && path.compare(path.size() - 3, 3, "exe") == 0) {
        RunProgram(path);
    } else {
        ShellOpen(path);
    }
}

void Veltrin::LaunchInstalledProgram(const DuiSoft& /*entry*/) {}

LRESULT Veltrin::OnDownloadMessage(WPARAM /*code*/, LPARAM /*job*/) { return 0; }

int Veltrin::RunningSoftwareDownloads() const { return 0; }
