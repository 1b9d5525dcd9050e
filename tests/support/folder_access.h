#pragma once
// Everyone's access to a folder, as a test arranges and checks it. Wine keeps a folder's
// permissions only as Unix mode bits, where Everyone is "others": these two are what it
// can show of the installation folder's protection.

#include <string>

// As if the folder inherited "Everyone: Full control".
bool LetEveryoneWrite(const std::string& folder);
// Whether an entry for Everyone lets it add, write or delete files in the folder.
bool EveryoneMayWrite(const std::string& folder);
