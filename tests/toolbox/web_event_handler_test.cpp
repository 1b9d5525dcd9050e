// The host answers of the embedded browsers, as the browser would ask for them.
#include "toolbox/web_event_handler.h"

#include <gtest/gtest.h>

namespace {

TEST(WebEventHandler, HostInfoAddsTheFlagsAndKeepsThoseAlreadySet) {
    CCustomWebEventHandler handler;
    DOCHOSTUIINFO info{};
    info.cbSize = 0;
    info.dwFlags = DOCHOSTUIFLAG_OPENNEWWIN;  // set by the browser before it asks
    info.dwDoubleClick = DOCHOSTUIDBLCLK_SHOWCODE;
    EXPECT_EQ(handler.GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.cbSize, sizeof(DOCHOSTUIINFO));
    EXPECT_EQ(info.dwFlags, 0x4024008Fu | DOCHOSTUIFLAG_OPENNEWWIN);
    EXPECT_EQ(info.dwDoubleClick, static_cast<DWORD>(DOCHOSTUIDBLCLK_DEFAULT));
    // DOCHOSTUIFLAG_DPI_AWARE (0x40000000): pages at the window's DPI.
    EXPECT_EQ(CCustomWebEventHandler::kHostFlags, 0x4024008Fu);
    EXPECT_EQ(handler.GetHostInfo(nullptr), S_OK);
}

TEST(WebEventHandler, NoContextMenuNoOwnUiAndNoDownloads) {
    CCustomWebEventHandler handler;
    POINT pt{10, 10};
    EXPECT_EQ(handler.ShowContextMenu(0, &pt, nullptr, nullptr), S_OK);
    EXPECT_EQ(handler.ShowUI(0, nullptr, nullptr, nullptr, nullptr), S_FALSE);
    EXPECT_EQ(handler.Download(nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr, 936), S_OK);
}

TEST(WebEventHandler, TheOtherHostCallsSucceedWithoutWritingTheirOutputs) {
    CCustomWebEventHandler handler;
    EXPECT_EQ(handler.HideUI(), S_OK);
    EXPECT_EQ(handler.UpdateUI(), S_OK);
    EXPECT_EQ(handler.EnableModeless(TRUE), S_OK);
    EXPECT_EQ(handler.OnDocWindowActivate(TRUE), S_OK);
    EXPECT_EQ(handler.OnFrameWindowActivate(FALSE), S_OK);
    RECT border{1, 2, 3, 4};
    EXPECT_EQ(handler.ResizeBorder(&border, nullptr, TRUE), S_OK);
    MSG msg{};
    msg.message = WM_KEYDOWN;
    EXPECT_EQ(handler.TranslateAccelerator(&msg, nullptr, 0), S_OK);

    auto* const untouched = reinterpret_cast<void*>(static_cast<uintptr_t>(0x5A5A5A5A));
    LPOLESTR key = static_cast<LPOLESTR>(untouched);
    EXPECT_EQ(handler.GetOptionKeyPath(&key, 0), S_OK);
    EXPECT_EQ(key, untouched);
    IDropTarget* drop = static_cast<IDropTarget*>(untouched);
    EXPECT_EQ(handler.GetDropTarget(nullptr, &drop), S_OK);
    EXPECT_EQ(drop, untouched);
    IDispatch* external = static_cast<IDispatch*>(untouched);
    EXPECT_EQ(handler.GetExternal(&external), S_OK);
    EXPECT_EQ(external, untouched);
    OLECHAR url[] = L"http://127.0.0.1/";
    OLECHAR* translated = static_cast<OLECHAR*>(untouched);
    EXPECT_EQ(handler.TranslateUrl(0, url, &translated), S_OK);
    EXPECT_EQ(translated, untouched);
    IDataObject* replacement = static_cast<IDataObject*>(untouched);
    EXPECT_EQ(handler.FilterDataObject(nullptr, &replacement), S_OK);
    EXPECT_EQ(replacement, untouched);
}

}  // namespace
