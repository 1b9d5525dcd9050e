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

TEST(ImageVariants, NamedByTheirScaleAndChosenAsTheSmallestThatCoversIt) {
    EXPECT_EQ(ImageVariantName("images/close.png", 150), "images/close@150.png");
    EXPECT_EQ(ImageVariantName("v1.2/close", 200), "v1.2/close@200") << "a dot in a folder is no extension";
    const struct {
        std::vector<int> available;
        UINT dpi;
        int chosen;
    } cases[] = {
        {{150, 200}, 96, 100}, {{150, 200}, 120, 150}, {{150, 200}, 144, 150}, {{150, 200}, 145, 200},
        {{200, 150}, 168, 200}, {{150, 200}, 288, 200}, {{125}, 144, 125},     {{}, 144, 100},
        {{300, 125}, 144, 300}, {{125, 150}, 72, 100},
    };
    for (const auto& c : cases) EXPECT_EQ(ChooseImageVariant(c.available, c.dpi), c.chosen) << c.dpi;
}

const char* const kNames[] = {"top", "title", "close", "dot", "plain", "box", "float"};

std::map<std::string, RECT> RectsOf(SkinTestWindow& window) {
    ::RedrawWindow(window.GetHWND(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    std::map<std::string, RECT> rects;
    for (const char* name : kNames) rects[name] = window.RectOf(name);
    return rects;
}

LONG FontHeight(CPaintManagerUI& manager, int id) {
    LOGFONTA font{};
    ::GetObjectA(manager.GetFont(id), sizeof(font), &font);
    return font.lfHeight;
}

DWORD ColourAt(HWND window, POINT pt) {
    return CapturePixels(window, RECT{pt.x, pt.y, pt.x + 1, pt.y + 1}, PixelSource::Window).At(pt);
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
    const std::map<std::string, RECT> at96 = RectsOf(*window);
    EXPECT_TRUE(Near(ColourAt(hwnd, CentreOf(at96.at("dot"))), 0xFF0000)) << "the image itself";

    const RECT place{100, 80, 460, 320};
    SendDpiChange(hwnd, 144, place);
    RECT now{};
    ::GetWindowRect(hwnd, &now);
    EXPECT_TRUE(::EqualRect(&now, &place));
    EXPECT_EQ(manager.GetDpi(), 144u);
    EXPECT_EQ(manager.GetCaptionRect().bottom, 36);
    EXPECT_EQ(manager.GetRoundCorner().cx, 6);
    EXPECT_EQ(manager.GetMinInfo().cx, 300);
    EXPECT_EQ(FontHeight(manager, 0), -18);
    EXPECT_EQ(FontHeight(manager, 1), -30);

    const std::map<std::string, RECT> at144 = RectsOf(*window);
    for (const char* name : kNames) {
        const RECT& small = at96.at(name);
        const RECT& large = at144.at(name);
        // Each length is rounded on its own: a place may land a pixel off 1.5 times its old one.
        EXPECT_NEAR(large.left, small.left * 3 / 2, 1) << name;
        EXPECT_NEAR(large.top, small.top * 3 / 2, 1) << name;
        EXPECT_NEAR(large.right, small.right * 3 / 2, 1) << name;
        EXPECT_NEAR(large.bottom, small.bottom * 3 / 2, 1) << name;
    }
    EXPECT_EQ(at144.at("float").right - at144.at("float").left, 30);
    EXPECT_TRUE(Near(ColourAt(hwnd, CentreOf(at144.at("dot"))), 0x00FF00)) << "the archive's @150 variant";
    const Pixels plain = CapturePixels(hwnd, at144.at("plain"), PixelSource::Window);
    EXPECT_GT(plain.InkIn(at144.at("plain")), 0) << "an image without a variant is drawn scaled";

    // Images are filtered once for the DPI: painting again makes nothing new.
    const long held = SkinRender::LiveGdiObjectCount();
    for (int i = 0; i < 3; ++i) ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(SkinRender::LiveGdiObjectCount(), held);

    SendDpiChange(hwnd, 96, RECT{60, 60, 300, 220});
    const std::map<std::string, RECT> back = RectsOf(*window);
    for (const char* name : kNames) EXPECT_TRUE(::EqualRect(&back.at(name), &at96.at(name))) << name;
    EXPECT_EQ(FontHeight(manager, 0), -12);
    EXPECT_TRUE(Near(ColourAt(hwnd, CentreOf(back.at("dot"))), 0xFF0000));
}

}  // namespace
