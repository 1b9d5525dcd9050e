#pragma once
// The main program's start-up steps that need no window: one instance only, where it is
// installed, whose taxpayer code it serves, and the updater's start with Windows.

#include "shared/unique_handle.h"

#include <string>

// Name of the mutex, the main window's class, and the Run value.
inline constexpr char kSingleInstanceName[] = "Veltrin";
inline constexpr char kMainWindowClass[] = "Veltrin";
inline constexpr char kWindowTitle[] = "Kestrova";

inline constexpr char kInvoicingAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\fwkp.exe";
inline constexpr char kTaxCodeValue[] = "code";
inline constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kStartWithWindowsValue[] = "Veltrin";
inline constexpr char kAutoShowValue[] = "AutoShow";
inline constexpr char kUpdaterExeName[] = "Morvane.exe";

// Holds the named mutex for the life of the process. When another instance already holds
// it, that instance's main window is shown and brought forward (also when it is hidden in
// the tray), and this process must end.
class SingleInstance {
public:
    SingleInstance();
    bool IsFirst() const { return m_first; }

private:
    UniqueKernelHandle m_mutex;
    bool m_first = true;
};

// The code of the App Paths entry of the invoicing program "fwkp.exe"; empty when the key
// or value is missing or longer than the registry operator reads.
std::string ReadTaxCode();

// The Run value's command: the updater's path in quotes, so that a folder with spaces
// cannot start another program.
std::string StartWithWindowsCommand(const std::string& installDir);
// Writes the Run value "Veltrin" when it is missing or empty (a hive copy "Veltrin" of the
// Run key is saved into the current directory then); any text there is left alone.
void EnsureStartWithWindows(const std::string& installDir);
