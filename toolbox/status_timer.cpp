#include "toolbox/status_timer.h"

#include "shared/background_work.h"
#include "shared/diagnostic_log.h"
#include "shared/http.h"
#include "toolbox/announcement_window.h"
#include "toolbox/catalogue/catalogue_reply.h"
#include "toolbox/catalogue/worker_results.h"
#include "toolbox/reg_operator.h"
#include "toolbox/startup.h"
#include "toolbox/toolbox_values.h"

#include <atomic>

namespace {

// One request at a time: a tick while the last one still runs adds nothing.
std::atomic<bool> g_requestRunning{false};

void RequestStatus(const std::string& url) {
    const HttpReply reply = HttpGetString(url, ReplyLimits{kStatusReplyTotalSeconds, kStatusReplyMaxBytes},
                                          [] { return BackgroundWorkStopping(); });
    LogLine("status request %s: %s, %lu bytes", url.c_str(), DescribeTransfer(reply.result, reply.status).c_str(),
            static_cast<unsigned long>(reply.body.size()));
    PostWindowWork([body = reply.body] { ApplyStatusReply(body); });
    g_requestRunning = false;
}

void ShowAnnouncement() {
    ToolboxValues& values = Toolbox();
    const HWND window = values.AnnouncementWindowHandle;
    if (window == nullptr || ::IsWindowVisible(window)) return;
    if (GG* popup = values.AnnouncementWindow) {
        popup->RefreshAnnouncement();
        // Sized for its DPI first, then placed: the corner is where the window of that size
        // fits, and a size fixed in pixels would be too small at 150 %.
        popup->ResizeToLayoutSize();
        popup->PlaceBottomRight();
    }
    ::ShowWindow(window, SW_SHOW);
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void RemoveAutoShow() {
    CRegOperator registry;
    registry.OpenKey(kRunKey);
    std::string autoShow;
    registry.ReadString(kAutoShowValue, autoShow);
    if (!autoShow.empty()) registry.DeleteValue(kAutoShowValue);
    registry.Close();
}

}  // namespace

std::string StatusUrl() { return Toolbox().StatusUrlPrefix + Toolbox().TaxCode + "_1"; }

void CALLBACK StatusTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    // The request runs on a worker; the reply is applied back on this thread.
    if (g_requestRunning.exchange(true)) return;
    const std::string url = StatusUrl();
    if (!StartBackgroundWork([url] { RequestStatus(url); })) g_requestRunning = false;
}

bool StatusRequestRunning() { return g_requestRunning.load(); }

void ApplyStatusReply(const std::string& reply) {
    if (reply.empty()) return;
    ToolboxValues& values = Toolbox();
    // Compared as received: "1" with a line end is not "1".
    if (!values.AnnouncementShown && reply != "1") {
        values.AnnouncementShown = true;
        ShowAnnouncement();
    }
    if (reply == "3") RemoveAutoShow();
}

UINT_PTR StartStatusTimer(TimerSetter setTimer) {
    return setTimer(nullptr, kStatusTimerId, kStatusTimerPeriod, StatusTimerProc);
}
