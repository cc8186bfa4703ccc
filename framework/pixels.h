#pragma once
// 32-bit pictures in memory: premultiplied BGRA, one std::uint32_t per pixel
// (0xAARRGGBB), rows top-down. The operations the ribbon needs on them:
// resampling to the size the DPI asks for, the disabled look, and turning a
// key colour transparent. Portable, so they are tested without a window.
#include <cstdint>
#include <vector>

struct CPixels {
    int width = 0, height = 0;
    std::vector<std::uint32_t> data;

    std::uint32_t At(int x, int y) const {
        return data[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                    static_cast<std::size_t>(x)];
    }
};

// Area-average resampling of `src` to `width` x `height`: every output pixel
// is the coverage-weighted mean of the source pixels under it, in both
// directions, so edges stay smooth and thin lines keep their weight.
CPixels ScalePixels(const CPixels& src, int width, int height);

// The region (x, y, w, h) of `src`; parts outside it are transparent.
CPixels CropPixels(const CPixels& src, int x, int y, int w, int h);

// The disabled look: luminance only, pulled towards a light grey, alpha halved.
CPixels DisabledPixels(const CPixels& src);

// From straight 8-bit BGR(A) rows as bitmaps store them. A 32-bit source with
// alpha anywhere keeps it; otherwise every pixel of colour `key` (0xRRGGBB)
// becomes transparent and the rest opaque.
CPixels PixelsFromBgr(const unsigned char* bits, int width, int height, int stride,
                      int bytesPerPixel, bool bottomUp, std::uint32_t key);
