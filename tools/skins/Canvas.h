#pragma once
// A small anti-aliased painter for the skin bitmaps: shapes are sampled 4 x 4 per pixel and blended over
// what is there. Colours are 0xRRGGBB; coordinates are pixel edges (a pixel (x, y) covers x..x+1).

#include "ui/BitmapFile.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace skins {

using Colour = std::uint32_t;

Colour Mix(Colour a, Colour b, double t); // t = 0 gives a

class Canvas {
public:
    Canvas(int width, int height, Colour fill, bool transparent = false);

    int width() const { return width_; }
    int height() const { return height_; }
    Colour Get(int x, int y) const;
    void Set(int x, int y, Colour c);
    void Blend(int x, int y, Colour c, double alpha);

    void Fill(int x0, int y0, int x1, int y1, Colour c);
    // Top-to-bottom gradient over rows y0..y1-1.
    void VerticalGradient(int x0, int y0, int x1, int y1, Colour top, Colour bottom);
    // Fills what `inside` holds, clipped to the box, anti-aliased.
    void Shape(double x0, double y0, double x1, double y1, const std::function<bool(double, double)>& inside,
               Colour c, double alpha = 1.0);
    // The coverage (0..1) of `inside` in pixel (x, y).
    static double Coverage(int x, int y, const std::function<bool(double, double)>& inside);
    void RoundRect(double x0, double y0, double x1, double y1, double radius, Colour c, double alpha = 1.0);
    // A rounded rectangle with a border of `border` pixels and a vertical gradient face.
    void Button(double x0, double y0, double x1, double y1, double radius, Colour borderColour,
                Colour faceTop, Colour faceBottom);
    void Triangle(double ax, double ay, double bx, double by, double cx, double cy, Colour c);
    void Disc(double cx, double cy, double r, Colour c);
    void Ring(double cx, double cy, double r, double thickness, double fromAngle, double toAngle, Colour c);
    void Line(double ax, double ay, double bx, double by, double thickness, Colour c);
    // Copies a rectangle from another canvas.
    void Copy(const Canvas& from, int fromX, int fromY, int w, int h, int toX, int toY);

    DecodedImage Image(bool withAlpha) const;
    std::vector<double> alpha; // coverage per pixel; 1 everywhere on an opaque canvas

private:
    int width_;
    int height_;
    std::vector<Colour> pixels_;
};

bool InRoundRect(double x, double y, double x0, double y0, double x1, double y1, double r);

} // namespace skins
