#pragma once
// The catalogue loads of the main window, off its thread, which never waits on the network:
// a worker reads the list and the rows appear when it arrives, then the icons one by one. While a load runs
// the list shows that it loads, and a failed load says so. Starting a load makes the
// results of earlier loads of that list void: they are dropped when they come back, and
// their transfers end at their next check.

#include "skin/container.h"
#include "toolbox/catalogue/catalogue_context.h"

#include <string>

inline constexpr char kLoadingText[] = "正在加载……";
inline constexpr char kLoadFailedText[] = "加载失败，请检查网络后重试";
// The control that shows either text in place of the rows.
inline constexpr char kLoadNoticeName[] = "loadnotice";

// Window thread; both return at once. The list shows the loading text until the worker's
// result replaces it. rowCounter is the main window's, raised for each software cell.
void LoadSoftwareCatalogue(CContainerUI* list, const CatalogueContext& context, int* rowCounter);
// The folder id is taken by value: it usually comes from a record of the list emptied here.
void LoadDocumentCatalogue(CContainerUI* list, const CatalogueContext& context, std::string folderId);

// The text of the notice the list shows in place of rows, or empty.
std::string LoadNoticeText(CContainerUI* list);
// True when the list shows neither rows nor a running load: empty, a failed load, or a
// catalogue refused for its signature (signed_catalogue.h).
bool ListAwaitsLoad(CContainerUI* list);
