#pragma once
// Dialog units of the window templates to pixels: the templates were laid out
// for an 8-point dialog font whose average character is 6 × 13 pixels.


namespace varno::ui {

struct PixelRect {
    int x, y, width, height;
};

constexpr int dluToPixelsX(int dlu) { return static_cast<int>(dlu * 1.5 + 0.5); }
constexpr int dluToPixelsY(int dlu) { return static_cast<int>(dlu * 1.625 + 0.5); }

constexpr PixelRect dluRect(int x, int y, int width, int height)
{
    return {dluToPixelsX(x), dluToPixelsY(y), dluToPixelsX(width), dluToPixelsY(height)};
}

}  // namespace varno::ui
