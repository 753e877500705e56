#include "Canvas.h"

#include <algorithm>
#include <cmath>

namespace skins {

namespace {
constexpr int kSamples = 4; // per axis
constexpr double kPi = 3.14159265358979323846;
} // namespace

Colour Mix(Colour a, Colour b, double t) {
    auto channel = [&](int shift) {
        const double va = (a >> shift) & 0xFF;
        const double vb = (b >> shift) & 0xFF;
        return static_cast<Colour>(std::lround(va + (vb - va) * t)) << shift;
    };
    return channel(16) | channel(8) | channel(0);
}

bool InRoundRect(double x, double y, double x0, double y0, double x1, double y1, double r) {
    if (x < x0 || x >= x1 || y < y0 || y >= y1)
        return false;
    const double cx = std::clamp(x, x0 + r, x1 - r);
    const double cy = std::clamp(y, y0 + r, y1 - r);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

Canvas::Canvas(int width, int height, Colour fill, bool transparent)
    : alpha(static_cast<std::size_t>(width) * height, transparent ? 0.0 : 1.0), width_(width),
      height_(height), pixels_(static_cast<std::size_t>(width) * height, fill) {}

Colour Canvas::Get(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return 0;
    return pixels_[static_cast<std::size_t>(y) * width_ + x];
}

void Canvas::Set(int x, int y, Colour c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    pixels_[static_cast<std::size_t>(y) * width_ + x] = c & 0xFFFFFF;
}

void Canvas::Blend(int x, int y, Colour c, double a) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || a <= 0)
        return;
    const std::size_t i = static_cast<std::size_t>(y) * width_ + x;
    // Over a transparent pixel the colour is the shape's own, so edges get no dark fringe.
    pixels_[i] = alpha[i] <= 0 ? (c & 0xFFFFFF) : Mix(pixels_[i], c, std::min(a, 1.0));
    alpha[i] = alpha[i] + (1.0 - alpha[i]) * std::min(a, 1.0);
}

void Canvas::Fill(int x0, int y0, int x1, int y1, Colour c) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            Set(x, y, c);
}

void Canvas::VerticalGradient(int x0, int y0, int x1, int y1, Colour top, Colour bottom) {
    for (int y = y0; y < y1; ++y) {
        const double t = y1 - y0 > 1 ? static_cast<double>(y - y0) / (y1 - y0 - 1) : 0.0;
        Fill(x0, y, x1, y + 1, Mix(top, bottom, t));
    }
}

double Canvas::Coverage(int x, int y, const std::function<bool(double, double)>& inside) {
    int hits = 0;
    for (int sy = 0; sy < kSamples; ++sy)
        for (int sx = 0; sx < kSamples; ++sx)
            hits += inside(x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples) ? 1 : 0;
    return static_cast<double>(hits) / (kSamples * kSamples);
}

void Canvas::Shape(double x0, double y0, double x1, double y1,
                   const std::function<bool(double, double)>& inside, Colour c, double a) {
    const int px0 = std::max(0, static_cast<int>(std::floor(x0)));
    const int py0 = std::max(0, static_cast<int>(std::floor(y0)));
    const int px1 = std::min(width_, static_cast<int>(std::ceil(x1)));
    const int py1 = std::min(height_, static_cast<int>(std::ceil(y1)));
    for (int y = py0; y < py1; ++y)
        for (int x = px0; x < px1; ++x) {
            const double cover = Coverage(x, y, inside);
            if (cover > 0)
                Blend(x, y, c, cover * a);
        }
}

void Canvas::RoundRect(double x0, double y0, double x1, double y1, double r, Colour c, double a) {
    Shape(
        x0, y0, x1, y1, [=](double x, double y) { return InRoundRect(x, y, x0, y0, x1, y1, r); }, c, a);
}

void Canvas::Button(double x0, double y0, double x1, double y1, double r, Colour borderColour, Colour faceTop,
                    Colour faceBottom) {
    RoundRect(x0, y0, x1, y1, r, borderColour);
    const double h = y1 - y0 - 2;
    for (int y = static_cast<int>(y0 + 1); y < static_cast<int>(std::ceil(y1 - 1)); ++y) {
        const double t = h > 1 ? (y - (y0 + 1)) / (h - 1) : 0;
        const Colour face = Mix(faceTop, faceBottom, std::clamp(t, 0.0, 1.0));
        Shape(
            x0 + 1, y, x1 - 1, y + 1,
            [=](double px, double py) { return InRoundRect(px, py, x0 + 1, y0 + 1, x1 - 1, y1 - 1, r - 1); },
            face);
    }
}

void Canvas::Triangle(double ax, double ay, double bx, double by, double cx, double cy, Colour c) {
    auto edge = [](double px, double py, double qx, double qy, double x, double y) {
        return (qx - px) * (y - py) - (qy - py) * (x - px);
    };
    Shape(
        std::min({ax, bx, cx}), std::min({ay, by, cy}), std::max({ax, bx, cx}), std::max({ay, by, cy}),
        [=](double x, double y) {
            const double e0 = edge(ax, ay, bx, by, x, y);
            const double e1 = edge(bx, by, cx, cy, x, y);
            const double e2 = edge(cx, cy, ax, ay, x, y);
            return (e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0);
        },
        c);
}

void Canvas::Disc(double cx, double cy, double r, Colour c) {
    Shape(
        cx - r, cy - r, cx + r, cy + r,
        [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; }, c);
}

void Canvas::Ring(double cx, double cy, double r, double thickness, double fromAngle, double toAngle,
                  Colour c) {
    const double outer = r + thickness / 2;
    const double inner = r - thickness / 2;
    Shape(
        cx - outer, cy - outer, cx + outer, cy + outer,
        [=](double x, double y) {
            const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            if (d2 > outer * outer || d2 < inner * inner)
                return false;
            const double angle = std::atan2(cy - y, x - cx) * 180 / kPi;
            return angle >= fromAngle && angle <= toAngle;
        },
        c);
}

void Canvas::Line(double ax, double ay, double bx, double by, double thickness, Colour c) {
    const double half = thickness / 2;
    Shape(
        std::min(ax, bx) - half, std::min(ay, by) - half, std::max(ax, bx) + half, std::max(ay, by) + half,
        [=](double x, double y) {
            const double dx = bx - ax, dy = by - ay;
            const double len2 = dx * dx + dy * dy;
            const double t = len2 > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / len2, 0.0, 1.0) : 0.0;
            const double qx = ax + t * dx - x, qy = ay + t * dy - y;
            return qx * qx + qy * qy <= half * half;
        },
        c);
}

void Canvas::Copy(const Canvas& from, int fromX, int fromY, int w, int h, int toX, int toY) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            Set(toX + x, toY + y, from.Get(fromX + x, fromY + y));
}

DecodedImage Canvas::Image(bool withAlpha) const {
    DecodedImage image;
    image.width = width_;
    image.height = height_;
    image.pixels.resize(pixels_.size());
    for (std::size_t i = 0; i < pixels_.size(); ++i) {
        std::uint32_t p = pixels_[i];
        if (withAlpha) {
            const auto a = static_cast<std::uint32_t>(std::lround(std::clamp(alpha[i], 0.0, 1.0) * 255));
            p |= a << 24;
        }
        image.pixels[i] = p;
    }
    return image;
}

} // namespace skins
