#pragma once
// The updater's start-up: the version check that decides between starting the main
// program at once and opening the update window.

#include <string>

// Gives the process the shutdown privilege; failures are ignored, nothing relies on it.
void EnableShutdownPrivilege();

// Drops every CR and LF at the end. A version published with a line end would otherwise
// be recorded with it, read back without it, and look newer at every start.
std::string WithoutTrailingLineEnds(std::string text);

// "Ver" of section "Soft"; empty when the file, the section or the key is missing.
std::string ReadLocalVersion(const std::string& settingsPath);
// The server's version text without trailing line ends; empty when nothing arrived, on
// an HTTP error, and when "sys.ini" could not record the text and give it back unchanged
// (such a text would either reinstall the update at every start or stop updates for good).
std::string FetchServerVersion(const std::string& versionUrl);

// An update is due only when both versions are known and the local one is older.
bool IsUpdateDue(const std::string& localVersion, const std::string& serverVersion);

// Copies installed before the installer protected its folder, or in a folder that has
// lost the protection, get it back when standard users may write there; the log says
// what was done or why not.
void ProtectInstallationFolder(const std::string& installDir);

// Everything before a window may open: opens the diagnostic log, protects the folder, ends running main
// programs, sets up libcurl, fills InstallDir and ServerVersion. True when an update is due.
bool CheckForUpdate();
