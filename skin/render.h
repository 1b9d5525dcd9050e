#pragma once
// Drawing helpers shared by the controls (and by the catalogue rows): colours are 0xAARRGGBB.

#include "skin/paint_manager.h"

namespace SkinRender {

SKIN_API void FillColor(HDC dc, const RECT& rc, DWORD argb);
SKIN_API void FillRoundColor(HDC dc, const RECT& rc, DWORD argb, int corner);
SKIN_API void DrawBorder(HDC dc, const RECT& rc, DWORD argb, int width, int corner = 0);
// The whole image stretched into rc, honouring its alpha channel.
SKIN_API void DrawImage(HDC dc, const SkinImage& image, const RECT& rc);
// The image scaled to fit inside rc, keeping its aspect ratio, centred.
SKIN_API void DrawImageFit(HDC dc, const SkinImage& image, const RECT& rc);
// Text in the manager's font id (-1: default) and colour, with DT_ flags; NOEXPAND of rc.
SKIN_API void DrawText(HDC dc, CPaintManagerUI* manager, const RECT& rc, const char* text,
                       DWORD argb, int font, UINT style);
// Size of text in that font (single line).
SKIN_API SIZE MeasureText(HDC dc, CPaintManagerUI* manager, const char* text, int font);

// GDI objects (bitmaps, DCs, fonts) the library holds right now, whether GDI+ is running,
// and the cells' kept pictures: for checking that windows and paints leave nothing behind.
SKIN_API long LiveGdiObjectCount();
SKIN_API long GdiplusLeaseCount();
// Bytes of the pictures the catalogue cells keep of themselves right now.
SKIN_API size_t CachedPictureBytes();

}  // namespace SkinRender
