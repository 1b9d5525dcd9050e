#include "toolbox/status_timer.h"

#include "shared/diagnostic_log.h"
#include "shared/http.h"
#include "toolbox/announcement_window.h"
#include "toolbox/reg_operator.h"
#include "toolbox/startup.h"
#include "toolbox/toolbox_values.h"

namespace {

void ShowAnnouncement() {
    ToolboxValues& values = Toolbox();
    const HWND window = values.AnnouncementWindowHandle;
    if (window == nullptr || ::IsWindowVisible(window)) return;
    if (values.AnnouncementWindow != nullptr) values.AnnouncementWindow->RefreshAnnouncement();
    ::ShowWindow(window, SW_SHOW);
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, kAnnouncementWidth, kAnnouncementHeight, SWP_NOMOVE);
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
    // The answer is a digit: anything long or slow is no answer.
    const std::string url = StatusUrl();
    const HttpReply reply = HttpFetch(url, ReplyLimits{20, 4096});
    LogLine("status request %s: %s, %lu bytes", url.c_str(), DescribeTransfer(reply.result, reply.status).c_str(),
            static_cast<unsigned long>(reply.body.size()));
    ApplyStatusReply(reply.body);
}

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
