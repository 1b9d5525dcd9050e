#include "skin/picture_cache.h"

#include <algorithm>
#include <cstring>
#include <list>
#include <mutex>

namespace skin_detail {

namespace {

constexpr uint64_t kPrime = 1099511628211ull;

std::mutex surfacesMutex;
std::vector<const ReadableSurface*>& Surfaces() {
    static std::vector<const ReadableSurface*> surfaces;
    return surfaces;
}

uint64_t Fingerprint(const ReadableSurface& surface, const RECT& rc) {
    uint64_t hash = 1469598103934665603ull;
    for (int y = rc.top; y < rc.bottom; ++y) {
        const uint32_t* row = surface.Row(y);
        for (int x = rc.left; x < rc.right; ++x) hash = (hash ^ row[x]) * kPrime;
    }
    return hash;
}

}  // namespace

// Every picture that holds pixels, the most recently painted first.
class PictureBudget {
public:
    static PictureBudget& Instance() {
        static PictureBudget budget;
        return budget;
    }
    void Used(PictureCache* cache) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_order.remove(cache);
        m_order.push_front(cache);
        m_held = 0;
        for (PictureCache* held : m_order) m_held += held->m_pixels.size() * sizeof(uint32_t);
        while (m_held > PictureCache::kBudgetBytes && m_order.size() > 1) {
            PictureCache* oldest = m_order.back();
            m_order.pop_back();
            m_held -= oldest->m_pixels.size() * sizeof(uint32_t);
            Release(*oldest);
        }
    }
    void Gone(PictureCache* cache) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_order.remove(cache);
        m_held -= std::min(m_held, cache->m_pixels.size() * sizeof(uint32_t));
        Release(*cache);
    }
    size_t Held() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_held;
    }

private:
    static void Release(PictureCache& cache) {
        std::vector<uint32_t>().swap(cache.m_pixels);
        cache.m_kept = false;
    }
    std::mutex m_mutex;
    std::list<PictureCache*> m_order;
    size_t m_held = 0;
};

ReadableSurface::ReadableSurface(HDC dc, void* bits, int width, int height)
    : m_dc(dc), m_bits(static_cast<uint32_t*>(bits)), m_width(width), m_height(height) {
    std::lock_guard<std::mutex> lock(surfacesMutex);
    Surfaces().push_back(this);
}

ReadableSurface::~ReadableSurface() {
    std::lock_guard<std::mutex> lock(surfacesMutex);
    auto& surfaces = Surfaces();
    surfaces.erase(std::remove(surfaces.begin(), surfaces.end(), this), surfaces.end());
}

const ReadableSurface* ReadableSurface::Of(HDC dc) {
    std::lock_guard<std::mutex> lock(surfacesMutex);
    for (const ReadableSurface* surface : Surfaces()) {
        if (surface->m_dc == dc) return surface;
    }
    return nullptr;
}

LookKey& LookKey::Add(uint64_t value) { return Add(&value, sizeof(value)); }

LookKey& LookKey::Add(const void* bytes, size_t size) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i) m_value = (m_value ^ p[i]) * kPrime;
    // The length too, so that "ab" + "c" differs from "a" + "bc".
    m_value = (m_value ^ size) * kPrime;
    return *this;
}

LookKey& LookKey::Add(const char* text) { return Add(text, text != nullptr ? std::strlen(text) : 0); }

PictureCache::~PictureCache() { PictureBudget::Instance().Gone(this); }

size_t PictureCache::HeldBytes() { return PictureBudget::Instance().Held(); }

void PictureCache::Paint(HDC dc, const RECT& rc, uint64_t look, const std::function<void(HDC)>& draw) {
    const ReadableSurface* found = ReadableSurface::Of(dc);
    RECT clip{};
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    RECT inside{};
    POINT origin{};
    POINT viewport{};
    const bool readable = found != nullptr && width > 0 && height > 0 && ::GetWindowOrgEx(dc, &origin) &&
                          ::GetViewportOrgEx(dc, &viewport) && origin.x == 0 && origin.y == 0 && viewport.x == 0 &&
                          viewport.y == 0 && ::GetClipBox(dc, &clip) != ERROR &&
                          ::IntersectRect(&inside, &clip, &rc) && ::EqualRect(&inside, &rc) && rc.left >= 0 &&
                          rc.top >= 0 && rc.right <= found->width() && rc.bottom <= found->height();
    if (!readable) {
        draw(dc);
        return;
    }
    const ReadableSurface& surface = *found;
    // Whatever GDI still holds back must be in the bits before they are read.
    ::GdiFlush();
    const uint64_t background = Fingerprint(surface, rc);
    const size_t rowBytes = static_cast<size_t>(width) * sizeof(uint32_t);
    if (m_kept && m_width == width && m_height == height && m_look == look && m_background == background) {
        for (int y = 0; y < height; ++y) std::memcpy(surface.Row(rc.top + y) + rc.left, &m_pixels[y * width], rowBytes);
        PictureBudget::Instance().Used(this);
        return;
    }
    draw(dc);
    ::GdiFlush();
    m_pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) std::memcpy(&m_pixels[y * width], surface.Row(rc.top + y) + rc.left, rowBytes);
    m_width = width;
    m_height = height;
    m_look = look;
    m_background = background;
    m_kept = true;
    PictureBudget::Instance().Used(this);
}

}  // namespace skin_detail
