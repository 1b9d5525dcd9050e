#pragma once
// Everything the programs use of the skin library.

#include "skin/catalogue_rows.h"
#include "skin/container.h"
#include "skin/controls.h"
#include "skin/dialog_builder.h"
#include "skin/paint_manager.h"
#include "skin/render.h"
#include "skin/web_browser.h"
#include "skin/window.h"
