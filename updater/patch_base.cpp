#include "updater/patch_base.h"

#include "shared/cng.h"
#include "shared/sha256.h"
#include "shared/unique_handle.h"
#include "shared/zstd_frame.h"

#include <windows.h>

#include <algorithm>
#include <new>

std::optional<PatchBase> ReadPatchBase(const std::string& path, const char** why) {
    UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        *why = "the installed file cannot be read";
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        *why = "the installed file's length cannot be read";
        return std::nullopt;
    }
    if (size.QuadPart > (1LL << ZstdFrameDecoder::kWindowLogMax)) {
        *why = "the installed file is longer than a patch can reach";
        return std::nullopt;
    }
    PatchBase base;
    base.size = static_cast<size_t>(size.QuadPart);
    base.data.reset(new (std::nothrow) char[base.size + 1]);
    if (!base.data) {
        *why = "no memory for the installed file";
        return std::nullopt;
    }
    size_t done = 0;
    while (done < base.size) {
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(base.size - done, 1 << 24));
        DWORD read = 0;
        if (!::ReadFile(file.get(), base.data.get() + done, wanted, &read, nullptr) || read == 0) {
            *why = "the installed file cannot be read to its end";
            return std::nullopt;
        }
        done += read;
    }
    Sha256Hasher hasher;
    hasher.Add(base.data.get(), base.size);
    const std::optional<std::string> digest = hasher.Finish();
    if (!digest) {
        *why = "the installed file's SHA-256 cannot be computed";
        return std::nullopt;
    }
    base.sha256 = LowerHex(*digest);
    return base;
}

const PatchSource* PatchFrom(const UpdateEntry& entry, const std::string& baseSha256) {
    const auto found = std::find_if(entry.patches.begin(), entry.patches.end(),
                                    [&](const PatchSource& patch) { return patch.from == baseSha256; });
    return found != entry.patches.end() ? &*found : nullptr;
}
