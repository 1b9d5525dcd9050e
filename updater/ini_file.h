#pragma once
// The updater's reader and writer of "sys.ini": sections and keys in byte order,
// every space dropped from keys and values, no comments or line order kept.

#include <map>
#include <string>

// Whether Save writes the value so that Load gives it back unchanged: not empty, and free
// of spaces (dropped), '[' and ']' (taken for a section), '=' (taken for the key's end),
// control characters (line ends, and the end of file a text-mode read sees in Ctrl-Z).
bool IsStorableValue(const std::string& value);

class IniFile {
public:
    // False (and nothing changed) when the file cannot be opened. Sections already held
    // are kept whole; within a section the first occurrence of a key wins.
    bool Load(const std::string& path);
    // Empty when the section or the key is absent.
    std::string GetValue(const std::string& section, const std::string& key) const;
    void SetValue(const std::string& section, const std::string& key, const std::string& value);
    // 1 when written and flushed to the disk, -1 when the file cannot be opened for
    // writing or the write fails.
    int Save(const std::string& path) const;
    void Dump() const;

private:
    std::map<std::string, std::map<std::string, std::string>> m_sections;
};
