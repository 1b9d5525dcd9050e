#pragma once
// What the main window's rows and tabs lead to. The window owns one set of actions; the
// real one runs the catalogue library with the program's process-wide values, and the
// window's tests put a recorder in its place.

#include "skin/catalogue_rows.h"
#include "skin/container.h"
#include "skin/paint_manager.h"

#include <windows.h>

#include <memory>
#include <string>

class CatalogueActions {
public:
    virtual ~CatalogueActions() = default;

    // softList and rowCounter are the window's: each software cell raises the counter.
    virtual void LoadSoftwareCatalogue(CContainerUI* softList, int* rowCounter) = 0;
    virtual void LoadDocumentCatalogue(CContainerUI* fileList, const std::string& folderId) = 0;
    virtual void StartSoftwareDownload(SkinSoftListControl* row) = 0;
    virtual void CancelSoftwareDownload(SkinSoftListControl* row) = 0;
    virtual void StartDocumentDownload(FileListControl* row) = 0;
    // A document the caller found in the document folder: opened with the user's rights;
    // a box saying that cannot be done is owned by owner.
    virtual void OpenDocument(const std::string& path, HWND owner) = 0;
    // A package already in the package folder, which the caller found there; a signed
    // build first checks that it is still the file the catalogue names.
    virtual void OpenDownloadedPackage(SkinSoftListControl* row, const std::string& path) = 0;
    // A box saying the program is missing is owned by owner.
    virtual void LaunchInstalledProgram(const DuiSoft& entry, HWND owner) = 0;
    // The workers' WM_USER, and their queued download codes: percentages and final codes.
    virtual LRESULT OnDownloadMessage(CPaintManagerUI& paintManager, WPARAM code, LPARAM job) = 0;
    // Package downloads started and not yet reported finished.
    virtual int RunningSoftwareDownloads() const = 0;
};

// The actions the program runs.
std::unique_ptr<CatalogueActions> MakeCatalogueActions();
