#include "DemoArt.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

namespace krellon {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    double r, g, b;
};

Rgb Hue(double h) {  // h in [0, 1), full saturation
    const double x = h * 6.0;
    const int sector = static_cast<int>(x) % 6;
    const double f = x - std::floor(x);
    switch (sector) {
        case 0:
            return {1, f, 0};
        case 1:
            return {1 - f, 1, 0};
        case 2:
            return {0, 1, f};
        case 3:
            return {0, 1 - f, 1};
        case 4:
            return {f, 0, 1};
        default:
            return {1, 0, 1 - f};
    }
}

ColourValue ToColour(Rgb c) {
    const auto q = [](double v) {
        return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
    };
    return MakeColour(q(c.r), q(c.g), q(c.b));
}

// Index 0 black, 1..255 the base colour from deep shadow to a highlight near white.
std::vector<ColourValue> ShadeRamp(Rgb base) {
    std::vector<ColourValue> palette(kPaletteSize);
    for (int i = 1; i < kPaletteSize; ++i) {
        const double t = i / 255.0;
        const double light = 0.15 + 1.05 * t;
        const double white = std::max(0.0, (t - 0.78) / 0.22) * 0.85;
        const auto mix = [&](double v) { return std::min(1.0, v * light) * (1 - white) + white; };
        palette[static_cast<std::size_t>(i)] = ToColour({mix(base.r), mix(base.g), mix(base.b)});
    }
    return palette;
}

// Shade values of a bevelled 30 x 15 brick in one of five styles.
std::vector<std::uint8_t> BrickPixels(int style) {
    std::vector<std::uint8_t> px(30 * 15);
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 30; ++x) {
            double s = 165 - 3.0 * y;  // the face, lit from above
            switch (style) {
                case 1:  // grooves
                    if (y == 5 || y == 9)
                        s = 95;
                    if (y == 6 || y == 10)
                        s = 205;
                    break;
                case 2: {  // studs
                    for (int cx : {8, 15, 22}) {
                        const double d = std::hypot(x - cx, y - 7.0);
                        if (d < 2.6)
                            s = 215 - 25 * d;
                        else if (d < 3.4)
                            s = 90;
                    }
                    break;
                }
                case 3: {  // diamond
                    const double d = std::abs(x - 14.5) / 12.0 + std::abs(y - 7.0) / 5.5;
                    if (d < 1.0)
                        s = 120 + 100 * (1 - d) - 2.0 * y;
                    break;
                }
                case 4:  // brushed metal
                    s = 150 + 45 * std::sin(x * 0.55 + y * 0.2) * std::cos(y * 0.9) - 2.0 * y;
                    break;
                default:
                    break;
            }
            // A soft shine near the top left.
            const double shine = std::hypot((x - 8) / 6.0, (y - 3.5) / 2.0);
            if (shine < 1.0 && style != 3)
                s += 60 * (1 - shine);
            // The bevel: light top and left, dark bottom and right, a black outline.
            if (y <= 1)
                s = y == 0 ? 250 : 225;
            if (x <= 1 && y > 0)
                s = x == 0 ? 235 : 205;
            if (y >= 13)
                s = y == 14 ? 40 : 70;
            if (x >= 28 && y > 0)
                s = x == 29 ? 45 : 80;
            if ((x == 0 || x == 29) && (y == 0 || y == 14))
                s = 0;
            px[static_cast<std::size_t>(30 * y + x)] =
                static_cast<std::uint8_t>(std::clamp(s, 1.0, 255.0));
        }
    }
    return px;
}

ImageSpec Brick(std::string name, Rgb base, int style) {
    return {std::move(name), 30, 15, ShadeRamp(base), BrickPixels(style)};
}

// A palette that runs from one colour through a second to a third.
std::vector<ColourValue> Gradient(Rgb a, Rgb b, Rgb c) {
    std::vector<ColourValue> palette(kPaletteSize);
    for (int i = 0; i < kPaletteSize; ++i) {
        const double t = i / 255.0;
        const Rgb from = t < 0.5 ? a : b;
        const Rgb to = t < 0.5 ? b : c;
        const double u = t < 0.5 ? t * 2 : (t - 0.5) * 2;
        palette[static_cast<std::size_t>(i)] =
            ToColour({from.r + (to.r - from.r) * u, from.g + (to.g - from.g) * u,
                      from.b + (to.b - from.b) * u});
    }
    return palette;
}

// Deterministic noise, the same on every machine.
std::uint32_t Noise(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    std::uint32_t h = x * 374761393u + y * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

// One background pattern, seamless at size (all periods divide it); values 0..1.
double Pattern(int kind, int x, int y, int size) {
    const double u = 2 * kPi * x / size;
    const double v = 2 * kPi * y / size;
    const int cell = size / 8;
    switch (kind % 12) {
        case 0: {  // stone wall: staggered blocks with mortar
            const int row = y / cell;
            const int shifted = (x + (row % 2) * cell) % size;
            const bool mortar = y % cell == 0 || shifted % (2 * cell) == 0;
            const double grain =
                (Noise(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 7) % 100) /
                400.0;
            return mortar ? 0.08 : 0.55 + grain - 0.15 * ((y % cell) / double(cell));
        }
        case 1:  // checker with soft edges
            return 0.35 + 0.3 * std::tanh(4 * std::sin(u * 4) * std::sin(v * 4));
        case 2:  // waves
            return 0.5 + 0.25 * std::sin(u * 2 + 1.5 * std::sin(v * 2)) + 0.15 * std::sin(v * 6);
        case 3:  // diagonal stripes
            return 0.5 + 0.4 * std::sin((u + v) * 3);
        case 4: {  // circuit grid
            const bool line = x % cell == cell / 2 || y % cell == cell / 2;
            const bool pad = (x % cell - cell / 2) * (x % cell - cell / 2) +
                                 (y % cell - cell / 2) * (y % cell - cell / 2) <
                             5;
            return pad ? 0.95 : line ? 0.6 : 0.15;
        }
        case 5:  // marble
            return 0.5 + 0.45 * std::sin(u * 2 + 2.5 * std::sin(v) + 1.2 * std::sin(u + 2 * v));
        case 6: {  // tiles with bevels
            const int tx = x % (2 * cell);
            const int ty = y % (2 * cell);
            if (tx == 0 || ty == 0)
                return 0.9;
            if (tx == 2 * cell - 1 || ty == 2 * cell - 1)
                return 0.1;
            return 0.45 + 0.1 * std::sin(u * 8) * std::sin(v * 8);
        }
        case 7:  // weave
            return 0.5 + 0.35 * (((x / cell + y / cell) % 2) ? std::sin(v * 8) : std::sin(u * 8));
        case 8: {  // dots
            const double dx = (x % cell) - cell / 2.0;
            const double dy = (y % cell) - cell / 2.0;
            return std::hypot(dx, dy) < cell / 3.0 ? 0.8 : 0.25;
        }
        case 9:  // plasma
            return 0.5 + 0.2 * (std::sin(u * 3) + std::sin(v * 2) + std::sin((u + v) * 2) * 0.5);
        case 10: {  // scales
            const int sy = y % cell;
            const int sx = (x + ((y / cell) % 2) * cell / 2) % cell;
            const double d = std::hypot(sx - cell / 2.0, static_cast<double>(sy));
            return d < cell / 1.5 ? 0.3 + 0.6 * (1 - d / (cell / 1.5)) : 0.2;
        }
        default: {  // stars on a deep field
            const std::uint32_t n =
                Noise(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 3);
            return n % 97 == 0 ? 1.0 : 0.05 + 0.1 * (0.5 + 0.5 * std::sin(u + 2 * v));
        }
    }
}

}  // namespace

std::vector<ImageSpec> DemoBricks() {
    static const std::array<const char*, 16> colours = {
        "Red",  "Orange", "Amber", "Yellow", "Lime",   "Green",  "Jade",    "Teal",
        "Cyan", "Sky",    "Blue",  "Indigo", "Violet", "Purple", "Magenta", "Rose"};
    static const std::array<const char*, 5> styles = {"", " Striped", " Studded", " Diamond",
                                                      " Metal"};
    std::vector<ImageSpec> bricks;
    for (int style = 0; style < 5; ++style) {
        for (int c = 0; c < 16; ++c) {
            Rgb base = Hue(c / 16.0);
            if (style == 4) {  // metal bricks are muted
                base = {0.45 + 0.4 * base.r, 0.45 + 0.4 * base.g, 0.45 + 0.4 * base.b};
            }
            bricks.push_back(Brick(std::string(colours[static_cast<std::size_t>(c)]) +
                                       styles[static_cast<std::size_t>(style)],
                                   base, style));
        }
    }
    ImageSpec hidden = Brick("Hidden", {0.55, 0.6, 0.7}, 0);
    for (int y = 2; y < 13; ++y) {  // a ghostly dotted face
        for (int x = 2; x < 28; ++x) {
            hidden.pixels[static_cast<std::size_t>(30 * y + x)] = (x + y) % 3 == 0 ? 200 : 60;
        }
    }
    bricks.push_back(std::move(hidden));
    bricks.push_back(Brick("Steel", {0.62, 0.66, 0.72}, 4));
    bricks.push_back(Brick("Gold", {1.0, 0.78, 0.2}, 3));
    bricks.push_back(Brick("Silver", {0.8, 0.82, 0.86}, 2));
    return bricks;
}

std::vector<ImageSpec> DemoBackgrounds(int size) {
    static const std::array<const char*, 12> names64 = {
        "Stone Wall", "Checker", "Waves", "Diagonal", "Circuit", "Marble",
        "Tiles",      "Weave",   "Dots",  "Plasma",   "Scales",  "Starfield"};
    static const std::array<const char*, 6> names128 = {"Castle",    "Nebula", "Ocean",
                                                        "Harlequin", "Lagoon", "Night Sky"};
    static const std::array<int, 6> kinds128 = {0, 9, 2, 1, 5, 11};
    std::vector<ImageSpec> images;
    const int count = size == 64 ? 12 : 6;
    for (int i = 0; i < count; ++i) {
        const int kind = size == 64 ? i : kinds128[static_cast<std::size_t>(i)];
        const Rgb dark = {0.02 + 0.05 * (i % 3), 0.03 + 0.04 * (i % 4), 0.08 + 0.03 * (i % 5)};
        const Rgb mid = Hue(std::fmod(0.55 + 0.13 * i, 1.0));
        const Rgb muted = {0.15 + 0.35 * mid.r, 0.15 + 0.35 * mid.g, 0.2 + 0.35 * mid.b};
        ImageSpec image;
        image.name = size == 64 ? names64[static_cast<std::size_t>(i)]
                                : names128[static_cast<std::size_t>(i)];
        image.width = size;
        image.height = size;
        image.palette = Gradient(dark, muted, {0.75, 0.78, 0.85});
        image.pixels.resize(static_cast<std::size_t>(size * size));
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const double p = std::clamp(Pattern(kind, x, y, size), 0.0, 1.0);
                image.pixels[static_cast<std::size_t>(size * y + x)] =
                    static_cast<std::uint8_t>(std::lround(p * 255));
            }
        }
        images.push_back(std::move(image));
    }
    return images;
}

std::vector<ImageSpec> DemoTitleImages() {
    std::vector<ImageSpec> images;
    ImageSpec title{
        "Title", 320, 200, Gradient({0.0, 0.0, 0.1}, {0.5, 0.1, 0.6}, {1.0, 0.85, 0.3}), {}};
    title.pixels.resize(320 * 200);
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            const double r = std::hypot(x - 160.0, (y - 100.0) * 1.6);
            const double p = 0.5 + 0.5 * std::sin(r / 9.0 - std::atan2(y - 100.0, x - 160.0) * 3);
            title.pixels[static_cast<std::size_t>(320 * y + x)] =
                static_cast<std::uint8_t>(std::lround(p * 200 + 55 * (1 - y / 200.0)));
        }
    }
    images.push_back(std::move(title));

    // A paddle drawn with the file palette (no palette of its own).
    ImageSpec paddle{"Paddle", 48, 10, {}, std::vector<std::uint8_t>(48 * 10)};
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 48; ++x) {
            const double edge = std::min({x, 47 - x, y * 3, (9 - y) * 3}) / 6.0;
            paddle.pixels[static_cast<std::size_t>(48 * y + x)] =
                static_cast<std::uint8_t>(std::lround(std::clamp(60 + 190 * edge, 0.0, 255.0)));
        }
    }
    images.push_back(std::move(paddle));

    ImageSpec ball{"Ball", 9, 9, ShadeRamp({0.9, 0.9, 1.0}), std::vector<std::uint8_t>(81)};
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) {
            const double d = std::hypot(x - 4.0, y - 4.0);
            const double light = 1 - std::hypot(x - 3.0, y - 3.0) / 7.0;
            ball.pixels[static_cast<std::size_t>(9 * y + x)] =
                d > 4.4 ? 0
                        : static_cast<std::uint8_t>(
                              std::lround(std::clamp(40 + 215 * light, 1.0, 255.0)));
        }
    }
    images.push_back(std::move(ball));
    return images;
}

}  // namespace krellon
