#include "framework/image_strip.h"

#include <algorithm>

namespace {
constexpr std::uint32_t kTransparentGrey = 0xC0C0C0;
} // namespace

// One picture size of the strip, ready for AlphaBlend.
struct CImageStrip::Scaled {
    HDC hdc = nullptr;
    HBITMAP hBitmap = nullptr;
    HGDIOBJ hOld = nullptr;
    ~Scaled() {
        if (hdc) {
            SelectObject(hdc, hOld);
            DeleteDC(hdc);
        }
        if (hBitmap)
            DeleteObject(hBitmap);
    }
};

CImageStrip::CImageStrip() = default;
CImageStrip::~CImageStrip() = default;

void CImageStrip::SetPixels(CPixels pixels) {
    m_pixels = std::move(pixels);
    if (m_cy <= 0)
        m_cy = m_pixels.height;
    if (m_cx <= 0)
        m_cx = m_cy;
    m_scaled.clear();
}

CPixels CImageStrip::Cell(int index) const {
    if (!IsValid(index))
        return {};
    return CropPixels(m_pixels, index * m_cx, 0, m_cx, m_cy);
}

bool CImageStrip::Load(UINT id) {
    HANDLE image = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0,
                              LR_CREATEDIBSECTION);
    if (!image)
        return false;
    auto hBitmap = static_cast<HBITMAP>(image);
    DIBSECTION dib{};
    bool ok = GetObjectW(hBitmap, sizeof(dib), &dib) == sizeof(dib) && dib.dsBm.bmBits &&
              (dib.dsBm.bmBitsPixel == 24 || dib.dsBm.bmBitsPixel == 32);
    if (ok) {
        // A DIB section from a resource is bottom-up unless its height was negative.
        bool bottomUp = dib.dsBmih.biHeight > 0;
        SetPixels(PixelsFromBgr(static_cast<const unsigned char*>(dib.dsBm.bmBits),
                                dib.dsBm.bmWidth, dib.dsBm.bmHeight, dib.dsBm.bmWidthBytes,
                                dib.dsBm.bmBitsPixel / 8, bottomUp, kTransparentGrey));
        ok = m_pixels.width > 0;
    }
    DeleteObject(hBitmap);
    return ok;
}

bool CImageStrip::Draw(HDC hdc, int index, int x, int y, int size, bool disabled) const {
    if (!IsValid(index) || size <= 0)
        return false;
    const int key = size * 2 + (disabled ? 1 : 0);
    auto it = m_scaled.find(key);
    if (it == m_scaled.end()) {
        // Each picture on its own, so no neighbour bleeds into its edge.
        const int count = GetCount();
        CPixels all;
        all.width = size * count;
        all.height = size;
        all.data.assign(static_cast<std::size_t>(all.width) * static_cast<std::size_t>(size), 0);
        for (int i = 0; i < count; ++i) {
            CPixels one = ScalePixels(Cell(i), size, size);
            if (disabled)
                one = DisabledPixels(one);
            for (int row = 0; row < size; ++row)
                std::copy_n(one.data.begin() + static_cast<std::ptrdiff_t>(row) * size, size,
                            all.data.begin() + static_cast<std::ptrdiff_t>(row) * all.width +
                                static_cast<std::ptrdiff_t>(i) * size);
        }
        auto scaled = std::make_unique<Scaled>();
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = all.width;
        bi.bmiHeader.biHeight = -all.height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        scaled->hBitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!scaled->hBitmap || !bits)
            return false;
        std::copy(all.data.begin(), all.data.end(), static_cast<std::uint32_t*>(bits));
        scaled->hdc = CreateCompatibleDC(nullptr);
        if (!scaled->hdc)
            return false;
        scaled->hOld = SelectObject(scaled->hdc, scaled->hBitmap);
        it = m_scaled.emplace(key, std::move(scaled)).first;
    }
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return AlphaBlend(hdc, x, y, size, size, it->second->hdc, index * size, 0, size, size, blend) !=
           FALSE;
}
