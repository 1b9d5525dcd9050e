// A skinned window taken from 96 to 144 DPI and back by WM_DPICHANGED, sent as Windows
// sends it when a window moves to another monitor (Wine sends none by itself): the place
// it suggests, every kind of length, the fonts and an image's larger variant; and the rule
// that picks the variant.
#include "skin/image_variants.h"
#include "skin/skin.h"
#include "tests/support/gui_driver.h"
#include "tests/support/pixels.h"
#include "tests/support/skin_window.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using skin_detail::ChooseImageVariant;
using skin_detail::ImageVariantName;

TEST(ImageVariants, TheScaleGoesBeforeTheExtension) {
    EXPECT_EQ(ImageVariantName("images/close.png", 150), "images/close@150.png");
    EXPECT_EQ(ImageVariantName("close.PNG", 125), "close@125.PNG");
    EXPECT_EQ(ImageVariantName("v1.2/close", 200), "v1.2/close@200") << "a dot in a folder is no extension";
}

TEST(ImageVariants, TheSmallestThatCoversTheScaleElseTheLargest) {
    const struct {
        std::vector<int> available;
        UINT dpi;
        int chosen;
    } cases[] = {
        {{150, 200}, 96, 100},   {{150, 200}, 120, 150}, {{150, 200}, 144, 150}, {{150, 200}, 145, 200},
        {{200, 150}, 168, 200},  {{150, 200}, 288, 200}, {{125}, 144, 125},      {{}, 144, 100},
        {{300, 125}, 144, 300},  {{125, 150}, 72, 100},
    };
    for (const auto& c : cases) EXPECT_EQ(ChooseImageVariant(c.available, c.dpi), c.chosen) << c.dpi;
}

struct Look {
    std::map<std::string, RECT> rects;
    LONG fontHeights[2];
    DWORD dot;
};

const char* const kNames[] = {"top", "title", "close", "dot", "plain", "box", "float"};

Look LookOf(SkinTestWindow& window) {
    ::RedrawWindow(window.GetHWND(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Look look{};
    for (const char* name : kNames) look.rects[name] = window.RectOf(name);
    for (int id = 0; id < 2; ++id) {
        LOGFONTA font{};
        ::GetObjectA(window.Manager().GetFont(id), sizeof(font), &font);
        look.fontHeights[id] = font.lfHeight;
    }
    const POINT centre = CentreOf(look.rects["dot"]);
    look.dot = CapturePixels(window.GetHWND(), RECT{centre.x, centre.y, centre.x + 1, centre.y + 1},
                             PixelSource::Window).At(centre);
    return look;
}

void SendDpiChange(HWND window, UINT dpi, const RECT& suggested) {
    ::SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

TEST(DpiChange, TheWindowTakesTheSuggestedPlaceAndScalesEveryLength) {
    UseTestArchive();
    auto window = SkinTestWindow::Open("dpi.xml");
    ASSERT_NE(window, nullptr);
    const HWND hwnd = window->GetHWND();
    CPaintManagerUI& manager = window->Manager();
    ASSERT_EQ(manager.GetDpi(), 96u) << "the skin's tests run at 96 DPI";
    const Look at96 = LookOf(*window);
    EXPECT_EQ(at96.fontHeights[0], -12);
    EXPECT_TRUE(Near(at96.dot, 0xFF0000)) << "the image itself";

    const RECT place{100, 80, 460, 320};
    SendDpiChange(hwnd, 144, place);
    RECT now{};
    ::GetWindowRect(hwnd, &now);
    EXPECT_TRUE(::EqualRect(&now, &place));
    EXPECT_EQ(manager.GetDpi(), 144u);
    EXPECT_EQ(manager.GetCaptionRect().bottom, 36);
    EXPECT_EQ(manager.GetRoundCorner().cx, 6);
    EXPECT_EQ(manager.GetMinInfo().cx, 300);

    const Look at144 = LookOf(*window);
    for (const char* name : kNames) {
        const RECT& small = at96.rects.at(name);
        const RECT& large = at144.rects.at(name);
        // Each length is rounded on its own: a place may land a pixel off 1.5 times its old one.
        EXPECT_NEAR(large.left, small.left * 3 / 2, 1) << name;
        EXPECT_NEAR(large.top, small.top * 3 / 2, 1) << name;
        EXPECT_NEAR(large.right, small.right * 3 / 2, 1) << name;
        EXPECT_NEAR(large.bottom, small.bottom * 3 / 2, 1) << name;
    }
    EXPECT_EQ(at144.rects.at("dot").right - at144.rects.at("dot").left, 15);
    EXPECT_EQ(at144.rects.at("float").right - at144.rects.at("float").left, 30);
    EXPECT_EQ(at144.fontHeights[0], -18);
    EXPECT_EQ(at144.fontHeights[1], -30);
    EXPECT_TRUE(Near(at144.dot, 0x00FF00)) << "the archive's @150 variant";
    const Pixels plain = CapturePixels(hwnd, at144.rects.at("plain"), PixelSource::Window);
    EXPECT_GT(plain.InkIn(at144.rects.at("plain")), 0) << "an image without a variant is drawn scaled";

    // Images are filtered once for the DPI: painting again makes nothing new.
    const long held = SkinRender::LiveGdiObjectCount();
    for (int i = 0; i < 5; ++i) ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(SkinRender::LiveGdiObjectCount(), held);

    SendDpiChange(hwnd, 96, RECT{60, 60, 300, 220});
    const Look back = LookOf(*window);
    for (const char* name : kNames) EXPECT_TRUE(::EqualRect(&back.rects.at(name), &at96.rects.at(name))) << name;
    EXPECT_EQ(back.fontHeights[0], -12);
    EXPECT_EQ(back.dot, at96.dot);
}

}  // namespace
