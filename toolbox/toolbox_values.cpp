#include "toolbox/toolbox_values.h"

#ifndef KESTROVA_SERVER_URL
#error "KESTROVA_SERVER_URL (scheme and host of the maker's server) is set by the build"
#endif
#ifndef KESTROVA_PORTAL_URL
#error "KESTROVA_PORTAL_URL (the external tax portal) is set by the build"
#endif
#ifndef KESTROVA_UPDATE_KEY
#error "KESTROVA_UPDATE_KEY (the maker's public keys, or empty for unsigned catalogues) is set by the build"
#endif

void ToolboxValues::SetServerBaseUrl(const std::string& baseUrl) {
    ServerBaseUrl = baseUrl;
    StatusUrlPrefix = baseUrl + "/S?tax=";
    SoftwareUrlPrefix = baseUrl + "/F?tax=";
    DocumentUrlPrefix = baseUrl + "/D?tax=";
    AnnouncementUrlPrefix = baseUrl + "/GG.html?tax=";
    HomeUrlPrefix = baseUrl + "/new.html?tax=";
    LinksUrlPrefix = baseUrl + "/url.html?tax=";
}

ToolboxValues& Toolbox() {
    static ToolboxValues values = [] {
        ToolboxValues initial;
        initial.SetServerBaseUrl(KESTROVA_SERVER_URL);
        initial.PortalUrl = KESTROVA_PORTAL_URL;
        initial.CatalogueKeys = KESTROVA_UPDATE_KEY;
        return initial;
    }();
    return values;
}

std::string PackageDirectory() { return Toolbox().InstallDir + "\\soft"; }
std::string DocumentDirectory() { return Toolbox().InstallDir + "\\file"; }
