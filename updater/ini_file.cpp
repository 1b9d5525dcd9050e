#include "updater/ini_file.h"

#include "shared/unique_handle.h"

#include <algorithm>
#include <set>
#include <vector>

namespace {

struct Entry {
    std::string section;
    std::string key;
    std::string value;
};

bool ReadLine(FILE* file, std::string& line) {
    line.clear();
    int c;
    while ((c = std::fgetc(file)) != EOF) {
        if (c == '\n') return true;
        line.push_back(static_cast<char>(c));
    }
    return !line.empty();
}

std::string WithoutSpaces(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

}  // namespace

bool IsStorableValue(const std::string& value) {
    if (value.empty()) return false;
    for (char c : value) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || byte == ' ' || byte == '[' || byte == ']' || byte == '=') return false;
    }
    return true;
}

bool IniFile::Load(const std::string& path) {
    UniqueStdioFile file(std::fopen(path.c_str(), "r"));
    if (!file) return false;

    std::vector<Entry> entries;
    std::string section;
    std::string line;
    while (ReadLine(file.get(), line)) {
        const size_t open = line.find('[');
        const size_t close = line.find(']');
        if (open != std::string::npos && close != std::string::npos && close > open) {
            section = line.substr(open + 1, close - open - 1);
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        Entry entry{section, WithoutSpaces(line.substr(0, equals)), WithoutSpaces(line.substr(equals + 1))};
        if (!entry.section.empty() && !entry.key.empty() && !entry.value.empty()) entries.push_back(std::move(entry));
    }
    file.reset();

    std::set<std::string> names;
    for (const Entry& entry : entries) names.insert(entry.section);
    for (const std::string& name : names) {
        std::printf("根节点： %s\n", name.c_str());
        std::map<std::string, std::string> keys;
        for (const Entry& entry : entries) {
            if (entry.section != name) continue;
            std::printf("键值对： %s=%s\n", entry.key.c_str(), entry.value.c_str());
            keys.emplace(entry.key, entry.value);
        }
        m_sections.emplace(name, std::move(keys));
    }
    return true;
}

std::string IniFile::GetValue(const std::string& section, const std::string& key) const {
    const auto found = m_sections.find(section);
    if (found == m_sections.end()) return std::string();
    const auto value = found->second.find(key);
    return value == found->second.end() ? std::string() : value->second;
}

void IniFile::SetValue(const std::string& section, const std::string& key, const std::string& value) {
    m_sections[section][key] = value;
}

int IniFile::Save(const std::string& path) const {
    UniqueStdioFile file(std::fopen(path.c_str(), "w"));  // text mode: each line ends in CR LF
    if (!file) return -1;
    for (const auto& [section, keys] : m_sections) {
        std::fprintf(file.get(), "[%s]\n", section.c_str());
        for (const auto& [key, value] : keys) std::fprintf(file.get(), "%s=%s\n", key.c_str(), value.c_str());
    }
    // A version that never reached the disk must not be reported as recorded.
    const bool written = std::fflush(file.get()) == 0 && std::ferror(file.get()) == 0 &&
                         ::FlushFileBuffers(reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file.get()))));
    return std::fclose(file.release()) == 0 && written ? 1 : -1;
}

void IniFile::Dump() const {
    for (const auto& [section, keys] : m_sections) {
        std::printf("[%s]\n", section.c_str());
        for (const auto& [key, value] : keys) std::printf("    %s = %s\n", key.c_str(), value.c_str());
    }
}
