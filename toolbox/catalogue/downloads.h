#pragma once
// What a click on a catalogue row starts or stops, and how the main window applies what
// its download workers report. Everything here runs on the window thread.

#include "skin/catalogue_rows.h"
#include "skin/paint_manager.h"
#include "toolbox/catalogue/catalogue_context.h"
#include "toolbox/catalogue/download_job.h"

// The row goes to Downloading and a worker fetches its package into the package directory.
void StartSoftwareDownload(SkinSoftListControl* control, const CatalogueContext& context);
// The row goes back to NotDownloaded; the worker stops within a second, removes the
// partial file and posts 999.
void CancelSoftwareDownload(SkinSoftListControl* control);
// The row shows that it downloads; a worker fetches the document into the document directory.
void StartDocumentDownload(FileListControl* control, const CatalogueContext& context);

// A download's percentage or final code with its job, as the queue of worker results
// hands it over or a WM_USER message carries it. Pointers to no live job are ignored; a
// row that no longer exists is left alone, and a final code still frees the job. Returns 0.
LRESULT OnDownloadMessage(CPaintManagerUI& paintManager, WPARAM code, LPARAM job);

// The row controls of a paint manager, a software row by its cell id and a document row
// by name, or null when no such row exists.
SkinSoftListControl* FindSoftwareRow(CPaintManagerUI& paintManager, UINT_PTR cellId);
FileListControl* FindDocumentRow(CPaintManagerUI& paintManager, const std::string& name);
