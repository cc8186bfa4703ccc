#include "framework/pixels.h"

#include <algorithm>
#include <cmath>

namespace {

struct Sum {
    double a = 0, r = 0, g = 0, b = 0;
    void Add(std::uint32_t p, double w) {
        a += w * (p >> 24);
        r += w * ((p >> 16) & 0xFF);
        g += w * ((p >> 8) & 0xFF);
        b += w * (p & 0xFF);
    }
};

std::uint32_t Channel(double v) {
    return static_cast<std::uint32_t>(std::clamp(std::lround(v), 0L, 255L));
}

// Source spans of each output column (or row): first index and weights.
struct Span {
    int first = 0;
    std::vector<double> weights;
};

std::vector<Span> Spans(int from, int to) {
    std::vector<Span> spans(static_cast<std::size_t>(to));
    const double step = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        double lo = i * step, hi = (i + 1) * step;
        Span& s = spans[static_cast<std::size_t>(i)];
        s.first = static_cast<int>(std::floor(lo));
        int last = std::min(from - 1, static_cast<int>(std::ceil(hi)) - 1);
        for (int k = s.first; k <= last; ++k) {
            double w = std::min(hi, k + 1.0) - std::max(lo, static_cast<double>(k));
            s.weights.push_back(std::max(w, 0.0) / step);
        }
    }
    return spans;
}

} // namespace

CPixels ScalePixels(const CPixels& src, int width, int height) {
    CPixels out;
    if (width <= 0 || height <= 0 || src.width <= 0 || src.height <= 0)
        return out;
    out.width = width;
    out.height = height;
    out.data.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    if (width == src.width && height == src.height) {
        out.data = src.data;
        return out;
    }
    const std::vector<Span> xs = Spans(src.width, width);
    const std::vector<Span> ys = Spans(src.height, height);
    for (int y = 0; y < height; ++y) {
        const Span& sy = ys[static_cast<std::size_t>(y)];
        for (int x = 0; x < width; ++x) {
            const Span& sx = xs[static_cast<std::size_t>(x)];
            Sum sum;
            for (std::size_t j = 0; j < sy.weights.size(); ++j)
                for (std::size_t i = 0; i < sx.weights.size(); ++i)
                    sum.Add(src.At(sx.first + static_cast<int>(i), sy.first + static_cast<int>(j)),
                            sx.weights[i] * sy.weights[j]);
            std::uint32_t a = Channel(sum.a);
            // Premultiplied: no colour channel may exceed alpha after rounding.
            std::uint32_t r = std::min(Channel(sum.r), a), g = std::min(Channel(sum.g), a),
                          b = std::min(Channel(sum.b), a);
            out.data[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x)] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    return out;
}

CPixels CropPixels(const CPixels& src, int x0, int y0, int w, int h) {
    CPixels out;
    if (w <= 0 || h <= 0)
        return out;
    out.width = w;
    out.height = h;
    out.data.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int sx = x0 + x, sy = y0 + y;
            if (sx >= 0 && sy >= 0 && sx < src.width && sy < src.height)
                out.data[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) +
                         static_cast<std::size_t>(x)] = src.At(sx, sy);
        }
    return out;
}

CPixels DisabledPixels(const CPixels& src) {
    CPixels out = src;
    for (std::uint32_t& p : out.data) {
        std::uint32_t a = p >> 24;
        if (a == 0)
            continue;
        double lum = 0.30 * ((p >> 16) & 0xFF) + 0.59 * ((p >> 8) & 0xFF) + 0.11 * (p & 0xFF);
        // In straight terms: grey = 0.5 * luminance + 0.5 * 200; then alpha halved.
        double straight = 0.5 * lum * 255.0 / a + 100.0;
        std::uint32_t na = a / 2;
        std::uint32_t v = std::min(Channel(straight * na / 255.0), na);
        p = (na << 24) | (v << 16) | (v << 8) | v;
    }
    return out;
}

CPixels PixelsFromBgr(const unsigned char* bits, int width, int height, int stride,
                      int bytesPerPixel, bool bottomUp, std::uint32_t key) {
    CPixels out;
    if (!bits || width <= 0 || height <= 0 || (bytesPerPixel != 3 && bytesPerPixel != 4) ||
        stride < width * bytesPerPixel)
        return out;
    out.width = width;
    out.height = height;
    out.data.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    bool anyAlpha = false;
    if (bytesPerPixel == 4)
        for (int y = 0; y < height && !anyAlpha; ++y)
            for (int x = 0; x < width; ++x)
                if (bits[static_cast<std::size_t>(y) * static_cast<std::size_t>(stride) +
                         static_cast<std::size_t>(x) * 4 + 3]) {
                    anyAlpha = true;
                    break;
                }
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = bits + static_cast<std::size_t>(bottomUp ? height - 1 - y : y) *
                                              static_cast<std::size_t>(stride);
        for (int x = 0; x < width; ++x) {
            const unsigned char* p =
                row + static_cast<std::size_t>(x) * static_cast<std::size_t>(bytesPerPixel);
            std::uint32_t b = p[0], g = p[1], r = p[2];
            std::uint32_t a = 255;
            if (anyAlpha) {
                a = p[3];
                r = r * a / 255;
                g = g * a / 255;
                b = b * a / 255;
            } else if (((r << 16) | (g << 8) | b) == key) {
                a = r = g = b = 0;
            }
            out.data[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x)] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    return out;
}
