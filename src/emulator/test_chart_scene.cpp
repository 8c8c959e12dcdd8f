// The test chart: still layout, rendered a row at a time, and the moving square.
#include "emulator/test_chart_scene.h"

#include <algorithm>
#include <vector>

namespace ostrel::emulator {

namespace {

constexpr Rgb kMarker{245, 245, 245};
constexpr Rgb kChartBackground{20, 20, 20};
constexpr Rgb kTrack{70, 70, 70};
constexpr Rgb kSquareFill{240, 150, 20};
constexpr Rgb kSquareBorder{10, 10, 10};
constexpr Rgb kSquareCentre{250, 250, 250};

std::int32_t scaled(std::int32_t size, int percent) {
    return static_cast<std::int32_t>(static_cast<std::int64_t>(size) * percent / 100);
}

std::uint8_t sample(const Rgb &c, std::int32_t x, std::int32_t y) {
    switch (bayerColorAt(x, y)) {
        case BayerColor::Red:
            return c.r;
        case BayerColor::Green:
            return c.g;
        default:
            return c.b;
    }
}

// Fully saturated hue ramp at brightness 230: red, yellow, green, cyan, blue.
Rgb rainbow(std::int32_t x, std::int32_t width) {
    const std::int64_t position = static_cast<std::int64_t>(x) * 4 * 256 / std::max(width, 1);
    const int sector = static_cast<int>(position / 256);
    const int f = static_cast<int>(position % 256) * 230 / 255;
    const std::uint8_t up = static_cast<std::uint8_t>(f);
    const std::uint8_t down = static_cast<std::uint8_t>(230 - f);
    switch (sector) {
        case 0:
            return {230, up, 0};
        case 1:
            return {down, 230, 0};
        case 2:
            return {0, 230, up};
        case 3:
            return {0, down, 230};
        default:
            return {0, 0, 230};
    }
}

Rgb ramp(std::int32_t x, std::int32_t width) {
    const auto grey = static_cast<std::uint8_t>(20 + static_cast<std::int64_t>(215) * x /
                                                         std::max<std::int32_t>(width - 1, 1));
    return {grey, grey, grey};
}

struct Layout {
    std::int32_t rainbowBottom, markerLeft, markerRight, markerTop, markerBottom;
    std::int32_t chartLeft, chartRight, chartTop, chartBottom, gutter;
    std::int32_t trackTop, trackBottom;

    Layout(std::int32_t w, std::int32_t h)
        : rainbowBottom(scaled(h, 6)),
          markerLeft(scaled(w, 2)),
          markerRight(scaled(w, 7)),
          markerTop(scaled(h, 8)),
          markerBottom(scaled(h, 15)),
          chartLeft(scaled(w, 22)),
          chartRight(scaled(w, 78)),
          chartTop(scaled(h, 22)),
          chartBottom(scaled(h, 68)),
          gutter(std::max<std::int32_t>(1, (chartRight - chartLeft) / 60)),
          trackTop(scaled(h, 78)),
          trackBottom(scaled(h, 96)) {}
};

// The moving square of a frame; empty for pictures too small to hold it.
SceneRect squareOf(std::uint32_t frame, std::int32_t w, std::int32_t h) {
    const Layout layout(w, h);
    const std::int32_t side = std::max<std::int32_t>(2, scaled(h, 14));
    const std::int32_t margin = scaled(w, 2);
    const std::int32_t travel = w - side - 2 * margin;
    if (travel <= 0 || layout.trackBottom - layout.trackTop < side) {
        return {};
    }
    const std::int32_t step = std::max<std::int32_t>(1, w / 120);
    const std::int32_t x =
        margin + static_cast<std::int32_t>((static_cast<std::uint64_t>(frame) * step) % travel);
    const std::int32_t y = layout.trackTop + (layout.trackBottom - layout.trackTop - side) / 2;
    return {x, y, x + side, y + side};
}

Rgb squareColorAt(const SceneRect &square, std::int32_t x, std::int32_t y) {
    const std::int32_t side = square.width();
    const std::int32_t border = std::max<std::int32_t>(1, side / 10);
    const std::int32_t dx = x - square.left;
    const std::int32_t dy = y - square.top;
    if (dx < border || dy < border || dx >= side - border || dy >= side - border) {
        return kSquareBorder;
    }
    if (dx >= side / 3 && dx < side - side / 3 && dy >= side / 3 && dy < side - side / 3) {
        return kSquareCentre;
    }
    return kSquareFill;
}

}  // namespace

const Rgb TestChartScene::kChartColors[24] = {
    {115, 82, 68},   {194, 150, 130}, {98, 122, 157}, {87, 108, 67},   {133, 128, 177},
    {103, 189, 170}, {214, 126, 44},  {80, 91, 166},  {193, 90, 99},   {94, 60, 108},
    {157, 188, 64},  {224, 163, 46},  {56, 61, 150},  {70, 148, 73},   {175, 54, 60},
    {231, 199, 31},  {187, 86, 149},  {8, 133, 161},  {243, 243, 242}, {200, 200, 200},
    {160, 160, 160}, {122, 122, 121}, {85, 85, 85},   {52, 52, 52},
};

SceneRect TestChartScene::chartPatch(int index, std::int32_t width, std::int32_t height) {
    const Layout l(width, height);
    const int column = index % 6;
    const int row = index / 6;
    const std::int64_t cw = l.chartRight - l.chartLeft;
    const std::int64_t ch = l.chartBottom - l.chartTop;
    SceneRect r;
    r.left = l.chartLeft + static_cast<std::int32_t>(cw * column / 6) + l.gutter;
    r.right = l.chartLeft + static_cast<std::int32_t>(cw * (column + 1) / 6) - l.gutter;
    r.top = l.chartTop + static_cast<std::int32_t>(ch * row / 4) + l.gutter;
    r.bottom = l.chartTop + static_cast<std::int32_t>(ch * (row + 1) / 4) - l.gutter;
    return r;
}

Rgb TestChartScene::stillColorAt(std::int32_t x, std::int32_t y, std::int32_t width,
                                 std::int32_t height) {
    const Layout l(width, height);
    if (y < l.rainbowBottom) {
        return rainbow(x, width);
    }
    if (x >= l.markerLeft && x < l.markerRight && y >= l.markerTop && y < l.markerBottom) {
        return kMarker;
    }
    if (x >= l.chartLeft && x < l.chartRight && y >= l.chartTop && y < l.chartBottom) {
        for (int i = 0; i < 24; ++i) {
            const SceneRect p = chartPatch(i, width, height);
            if (x >= p.left && x < p.right && y >= p.top && y < p.bottom) {
                return kChartColors[i];
            }
        }
        return kChartBackground;
    }
    if (y >= l.trackTop && y < l.trackBottom) {
        return kTrack;
    }
    return ramp(x, width);
}

void TestChartScene::renderStill(std::uint8_t *mosaic, std::int32_t width,
                                 std::int32_t height) const {
    const Layout l(width, height);
    const auto w = static_cast<std::size_t>(width);
    // The rows come in a few kinds; the rainbow and the ramp are the same in every row.
    std::vector<Rgb> rainbowRow(w), rampRow(w), row(w);
    for (std::int32_t x = 0; x < width; ++x) {
        rainbowRow[x] = rainbow(x, width);
        rampRow[x] = ramp(x, width);
    }
    SceneRect patches[24];
    for (int i = 0; i < 24; ++i) {
        patches[i] = chartPatch(i, width, height);
    }
    for (std::int32_t y = 0; y < height; ++y) {
        if (y < l.rainbowBottom) {
            row = rainbowRow;
        } else if (y >= l.trackTop && y < l.trackBottom) {
            std::fill(row.begin(), row.end(), kTrack);
        } else {
            row = rampRow;
            if (y >= l.markerTop && y < l.markerBottom) {
                std::fill(row.begin() + l.markerLeft, row.begin() + l.markerRight, kMarker);
            }
            if (y >= l.chartTop && y < l.chartBottom) {
                std::fill(row.begin() + l.chartLeft, row.begin() + l.chartRight, kChartBackground);
                for (const SceneRect &p : patches) {
                    if (y >= p.top && y < p.bottom) {
                        std::fill(row.begin() + p.left, row.begin() + p.right,
                                  kChartColors[&p - patches]);
                    }
                }
            }
        }
        std::uint8_t *out = mosaic + static_cast<std::size_t>(y) * w;
        if ((y & 1) == 0) {
            for (std::size_t x = 0; x < w; ++x) {
                out[x] = (x & 1) == 0 ? row[x].g : row[x].r;
            }
        } else {
            for (std::size_t x = 0; x < w; ++x) {
                out[x] = (x & 1) == 0 ? row[x].b : row[x].g;
            }
        }
    }
}

SceneRect TestChartScene::movingArea(std::uint32_t frame, std::int32_t width,
                                     std::int32_t height) const {
    return squareOf(frame, width, height);
}

void TestChartScene::renderMoving(std::uint32_t frame, const SceneRect &area, std::uint8_t *patch,
                                  std::int32_t width, std::int32_t height) const {
    const SceneRect square = squareOf(frame, width, height);
    for (std::int32_t y = area.top; y < area.bottom; ++y) {
        std::uint8_t *out = patch + static_cast<std::size_t>(y - area.top) * area.width();
        for (std::int32_t x = area.left; x < area.right; ++x) {
            const bool inSquare =
                x >= square.left && x < square.right && y >= square.top && y < square.bottom;
            const Rgb c =
                inSquare ? squareColorAt(square, x, y) : stillColorAt(x, y, width, height);
            out[x - area.left] = sample(c, x, y);
        }
    }
}

std::shared_ptr<const SceneGenerator> defaultScene() {
    static const std::shared_ptr<const SceneGenerator> scene = std::make_shared<TestChartScene>();
    return scene;
}

}  // namespace ostrel::emulator
