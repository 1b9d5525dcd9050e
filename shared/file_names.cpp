#include "shared/file_names.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

bool IsReservedCharacter(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F || std::strchr("<>:\"/\\|?*", byte) != nullptr;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows opens the device whatever extension follows: "nul.txt" and "aux.dll" are NUL and AUX.
bool IsDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    // The system also ignores spaces before the extension ("CON .txt").
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = Upper(c);
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '0' && stem[3] <= '9';  // COM0 and LPT0 too, as newer systems reserve them
}

}  // namespace

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name.back() == '.' || name.back() == ' ') return false;  // also "." and ".."
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(name[i]);
        // A trail byte of a double-byte character may equal '\\' without being a separator.
        if (::IsDBCSLeadByte(byte) && i + 1 < name.size()) {
            ++i;
            continue;
        }
        if (IsReservedCharacter(byte)) return false;
    }
    return !IsDeviceName(name);
}

std::string LowerExtensionOf(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return std::string();
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

bool IsProgramFileName(const std::string& name) {
    // Windows' Attachment Manager's high-risk types, and the newer kinds that run code or
    // point elsewhere when opened. Sorted, for the search below.
    static constexpr const char* kProgramTypes[] = {
        "ade",        "adp",          "app",          "application", "appref-ms",  "appx",
        "appxbundle", "asp",          "bas",          "bat",         "cer",        "chm",
        "cmd",        "cnt",          "com",          "cpl",         "crt",        "csh",
        "der",        "diagcab",      "diagcfg",      "diagpkg",     "dll",        "drv",
        "exe",        "fxp",          "gadget",       "grp",         "hlp",        "hpj",
        "hta",        "htt",          "inf",          "ins",         "iqy",        "isp",
        "its",        "jar",          "jnlp",         "js",          "jse",        "ksh",
        "library-ms", "lnk",          "mad",          "maf",         "mag",        "mam",
        "maq",        "mar",          "mas",          "mat",         "mau",        "mav",
        "maw",        "mcf",          "mda",          "mdb",         "mde",        "mdt",
        "mdw",        "mdz",          "msc",          "msh",         "msh1",       "msh1xml",
        "msh2",       "msh2xml",      "mshxml",       "msi",         "msix",       "msixbundle",
        "msp",        "mst",          "ocx",          "ops",         "osd",        "pcd",
        "pif",        "pl",           "plg",          "prf",         "prg",        "printerexport",
        "ps1",        "ps1xml",       "ps2",          "ps2xml",      "psc1",       "psc2",
        "psd1",       "psm1",         "pssc",        "pst",        "py",
        "pyc",        "pyo",          "pyw",          "pyz",         "pyzw",       "rb",
        "reg",        "scf",          "scr",          "sct",         "search-ms",  "searchconnector-ms",
        "settingcontent-ms", "shb",   "shs",          "slk",         "sys",        "theme",
        "themepack",  "tmp",          "url",          "vb",          "vbe",        "vbp",
        "vbs",        "vhd",          "vhdx",         "vsmacros",    "vsw",        "webpnp",
        "website",    "ws",           "wsb",          "wsc",         "wsf",        "wsh",
        "xbap",       "xll",          "xnk",
    };
    const std::string extension = LowerExtensionOf(name);
    if (extension.empty()) return false;
    return std::binary_search(std::begin(kProgramTypes), std::end(kProgramTypes), extension,
                              [](const std::string& a, const std::string& b) { return a < b; });
}
