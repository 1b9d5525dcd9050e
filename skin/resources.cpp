#include "skin/resources.h"

#include "shared/unique_handle.h"

#include <minizip/unzip.h>

#include <cstring>
#include <memory>
#include <mutex>

namespace skin_detail {

namespace {

// The archive as read into memory, with the file's stamp to notice a replaced archive.
struct ArchiveImage {
    std::string path;
    FILETIME written{0, 0};
    ULONGLONG size = 0;
    std::vector<BYTE> bytes;
};

struct ResourceState {
    std::mutex mutex;
    HINSTANCE instance = nullptr;
    std::string folder;
    std::string archiveName;
    bool cached = false;
    std::shared_ptr<const ArchiveImage> archive;
};

ResourceState& State() {
    static ResourceState state;
    return state;
}

bool IsAbsolute(const std::string& path) {
    return (path.size() > 1 && path[1] == ':') || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

bool FileStamp(const std::string& path, FILETIME& written, ULONGLONG& size) {
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes)) return false;
    written = attributes.ftLastWriteTime;
    size = (static_cast<ULONGLONG>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
    return true;
}

// minizip reads the archive from memory through these; the stream is the caller's and
// outlives the unzip handle.
struct MemoryStream {
    const std::vector<BYTE>* bytes;
    ZPOS64_T position;
};

voidpf ZCALLBACK MemoryOpen(voidpf opaque, const void*, int) {
    static_cast<MemoryStream*>(opaque)->position = 0;
    return opaque;
}

uLong ZCALLBACK MemoryRead(voidpf, voidpf stream, void* buffer, uLong size) {
    auto* s = static_cast<MemoryStream*>(stream);
    const ZPOS64_T total = s->bytes->size();
    if (s->position >= total) return 0;
    const ZPOS64_T available = total - s->position;
    const uLong count = available < size ? static_cast<uLong>(available) : size;
    std::memcpy(buffer, s->bytes->data() + s->position, count);
    s->position += count;
    return count;
}

uLong ZCALLBACK MemoryWrite(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK MemoryTell(voidpf, voidpf stream) { return static_cast<MemoryStream*>(stream)->position; }

long ZCALLBACK MemorySeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* s = static_cast<MemoryStream*>(stream);
    const ZPOS64_T total = s->bytes->size();
    ZPOS64_T base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_CUR:
        base = s->position;
        break;
    case ZLIB_FILEFUNC_SEEK_END:
        base = total;
        break;
    case ZLIB_FILEFUNC_SEEK_SET:
        base = 0;
        break;
    default:
        return -1;
    }
    if (base + offset > total) return -1;
    s->position = base + offset;
    return 0;
}

int ZCALLBACK MemoryClose(voidpf, voidpf) { return 0; }

int ZCALLBACK MemoryError(voidpf, voidpf) { return 0; }

inline void CloseUnzip(unzFile file) noexcept { unzClose(file); }
using UniqueUnzip = UniqueHandle<NullableHandleTraits<unzFile, CloseUnzip>>;

bool ReadFromArchive(const ArchiveImage& archive, std::string name, std::vector<BYTE>& data) {
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    while (name.compare(0, 2, "./") == 0) name.erase(0, 2);
    while (!name.empty() && name[0] == '/') name.erase(0, 1);
    if (name.empty()) return false;

    zlib_filefunc64_def functions{};
    functions.zopen64_file = MemoryOpen;
    functions.zread_file = MemoryRead;
    functions.zwrite_file = MemoryWrite;
    functions.ztell64_file = MemoryTell;
    functions.zseek64_file = MemorySeek;
    functions.zclose_file = MemoryClose;
    functions.zerror_file = MemoryError;
    MemoryStream stream{&archive.bytes, 0};
    functions.opaque = &stream;
    UniqueUnzip zip(unzOpen2_64("memory", &functions));
    if (!zip) return false;
    // 2: letter case is ignored, as file names are on Windows.
    if (unzLocateFile(zip.get(), name.c_str(), 2) != UNZ_OK) return false;
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip.get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
    if (info.uncompressed_size > 256u * 1024 * 1024) return false;
    if (unzOpenCurrentFile(zip.get()) != UNZ_OK) return false;
    data.resize(static_cast<size_t>(info.uncompressed_size));
    size_t done = 0;
    bool ok = true;
    while (done < data.size()) {
        const unsigned chunk = static_cast<unsigned>(data.size() - done > 65536 ? 65536 : data.size() - done);
        const int read = unzReadCurrentFile(zip.get(), data.data() + done, chunk);
        if (read <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(read);
    }
    // Closing checks the CRC of what was read.
    if (unzCloseCurrentFile(zip.get()) != UNZ_OK) ok = false;
    if (!ok) data.clear();
    return ok;
}

// The archive's bytes, read again when the file changed unless caching was asked for.
std::shared_ptr<const ArchiveImage> CurrentArchive(ResourceState& state) {
    const std::string path = IsAbsolute(state.archiveName) ? state.archiveName : state.folder + state.archiveName;
    if (state.archive && state.archive->path == path) {
        if (state.cached) return state.archive;
        FILETIME written{};
        ULONGLONG size = 0;
        if (FileStamp(path, written, size) && size == state.archive->size &&
            ::CompareFileTime(&written, &state.archive->written) == 0) {
            return state.archive;
        }
    }
    auto image = std::make_shared<ArchiveImage>();
    image->path = path;
    if (!FileStamp(path, image->written, image->size) || !ReadWholeFile(path, image->bytes)) {
        state.archive.reset();
        return nullptr;
    }
    state.archive = image;
    return state.archive;
}

}  // namespace

void SetResourceInstance(HINSTANCE instance) {
    ResourceState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.instance = instance;
}

HINSTANCE ResourceInstance() {
    ResourceState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.instance != nullptr ? state.instance : ::GetModuleHandleA(nullptr);
}

std::string InstanceFolder() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(ResourceInstance(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    const std::string file(path, length);
    const size_t slash = file.find_last_of("\\/");
    return slash != std::string::npos ? file.substr(0, slash + 1) : std::string();
}

void SetResourceFolder(const std::string& folder) {
    ResourceState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.folder = folder;
    if (!state.folder.empty() && state.folder.back() != '\\' && state.folder.back() != '/') state.folder += '\\';
}

std::string ResourceFolder() {
    ResourceState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.folder;
}

void SetResourceArchive(const std::string& zipName, bool cached) {
    ResourceState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.archiveName = zipName;
    state.cached = cached;
    state.archive.reset();
}

std::string ResourceArchive() {
    ResourceState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.archiveName;
}

bool ReadResource(const std::string& name, std::vector<BYTE>& data) {
    data.clear();
    if (name.empty()) return false;
    ResourceState& state = State();
    std::shared_ptr<const ArchiveImage> archive;
    std::string path;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        if (state.archiveName.empty()) {
            path = IsAbsolute(name) ? name : state.folder + name;
        } else {
            archive = CurrentArchive(state);
            if (!archive) return false;
        }
    }
    if (archive) return ReadFromArchive(*archive, name, data);
    return ReadWholeFile(path, data);
}

bool CopyResource(const char* name, BYTE** data, DWORD* size) {
    if (data == nullptr || size == nullptr) return false;
    *data = nullptr;
    *size = 0;
    std::vector<BYTE> bytes;
    if (name == nullptr || !ReadResource(name, bytes)) return false;
    // The caller frees the copy through FreeResourceCopy, across the library's boundary.
    *data = new BYTE[bytes.size() + 1];
    if (!bytes.empty()) std::memcpy(*data, bytes.data(), bytes.size());
    (*data)[bytes.size()] = 0;
    *size = static_cast<DWORD>(bytes.size());
    return true;
}

void FreeResourceCopy(BYTE* data) { delete[] data; }

bool ReadWholeFile(const std::string& path, std::vector<BYTE>& data) {
    data.clear();
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    UniqueFileHandle file(
        ::CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart > 512LL * 1024 * 1024) return false;
    data.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < data.size()) {
        DWORD read = 0;
        const DWORD chunk = static_cast<DWORD>(data.size() - done > (1u << 20) ? (1u << 20) : data.size() - done);
        if (!::ReadFile(file.get(), data.data() + done, chunk, &read, nullptr) || read == 0) {
            data.clear();
            return false;
        }
        done += read;
    }
    return true;
}

}  // namespace skin_detail
