#include "picture/PixelFont.h"

#include <string_view>

namespace sv {

namespace {

// Rows from the top, '/' between them; the first row's length is the glyph's width. Capitals
// and ascenders take rows 0 to 6, the small letters rows 2 to 6, descenders rows 7 and 8.
struct Glyph {
    char c;
    std::string_view rows;
};

constexpr Glyph Glyphs[] = {
    {'0', ".###./#...#/#..##/#.#.#/##..#/#...#/.###."},
    {'1', ".#./##./.#./.#./.#./.#./###"},
    {'2', ".###./#...#/....#/...#./..#../.#.../#####"},
    {'3', "#####/...#./..#../...#./....#/#...#/.###."},
    {'4', "...#./..##./.#.#./#..#./#####/...#./...#."},
    {'5', "#####/#..../####./....#/....#/#...#/.###."},
    {'6', "..##./.#.../#..../####./#...#/#...#/.###."},
    {'7', "#####/....#/...#./..#../.#.../.#.../.#..."},
    {'8', ".###./#...#/#...#/.###./#...#/#...#/.###."},
    {'9', ".###./#...#/#...#/.####/....#/...#./.##.."},
    {'+', "...../..#../..#../#####/..#../..#../....."},
    {'-', "..../..../..../####/..../..../...."},
    {'.', "./././././#/#"},
    {'B', "####./#...#/#...#/####./#...#/#...#/####."},
    {'H', "#...#/#...#/#...#/#####/#...#/#...#/#...#"},
    {'a', "...../...../.###./....#/.####/#...#/.####"},
    {'b', "#..../#..../####./#...#/#...#/#...#/####."},
    {'c', "..../..../.###/#.../#.../#.../.###"},
    {'d', "....#/....#/.####/#...#/#...#/#...#/.####"},
    {'e', "...../...../.###./#...#/#####/#..../.###."},
    {'f', "..##/.#../###./.#../.#../.#../.#.."},
    {'g', "...../...../.####/#...#/#...#/#...#/.####/....#/.###."},
    {'h', "#..../#..../####./#...#/#...#/#...#/#...#"},
    {'i', "#/./#/#/#/#/#"},
    {'j', "..#/.../..#/..#/..#/..#/..#/#.#/.#."},
    {'k', "#.../#.../#..#/#.#./##../#.#./#..#"},
    {'l', "#./#./#./#./#./#./.#"},
    {'m', "...../...../##.#./#.#.#/#.#.#/#.#.#/#.#.#"},
    {'n', "...../...../####./#...#/#...#/#...#/#...#"},
    {'o', "...../...../.###./#...#/#...#/#...#/.###."},
    {'p', "...../...../####./#...#/#...#/#...#/####./#..../#...."},
    {'q', "...../...../.####/#...#/#...#/#...#/.####/....#/....#"},
    {'r', "..../..../#.##/##../#.../#.../#..."},
    {'s', "..../..../.###/#.../.##./...#/###."},
    {'t', ".#../.#../###./.#../.#../.#../..##"},
    {'u', "...../...../#...#/#...#/#...#/#...#/.####"},
    {'v', "...../...../#...#/#...#/#...#/.#.#./..#.."},
    {'w', "...../...../#...#/#...#/#.#.#/#.#.#/.#.#."},
    {'x', "...../...../#...#/.#.#./..#../.#.#./#...#"},
    {'y', "...../...../#...#/#...#/#...#/#...#/.####/....#/.###."},
    {'z', "...../...../#####/...#./..#../.#.../#####"},
};

// The width of a blank.
constexpr int SpaceWidth = 3;

const Glyph* Find(char c) {
    for (const Glyph& glyph : Glyphs)
        if (glyph.c == c) return &glyph;
    return nullptr;
}

// Draws glyph with its top left corner at (x, y); returns its width in font pixels.
int DrawGlyph(RasterCanvas& canvas, const Glyph& glyph, int x, int y, int scale, RgbColour colour) {
    const int width = static_cast<int>(glyph.rows.find('/'));
    int row = 0, col = 0;
    for (const char pixel : glyph.rows) {
        if (pixel == '/') {
            ++row;
            col = 0;
            continue;
        }
        if (pixel == '#')
            canvas.FillRect(x + col * scale, y + row * scale, x + (col + 1) * scale,
                            y + (row + 1) * scale, colour);
        ++col;
    }
    return width;
}

}  // namespace

void RenderRecordedTexts(RasterCanvas& canvas, int scale) {
    for (const RasterCanvas::DrawnText& text : canvas.Texts()) {
        int left = text.x;
        for (const char c : text.text) {
            const Glyph* glyph = Find(c);
            const int width =
                glyph ? DrawGlyph(canvas, *glyph, left, text.y, scale, text.colour) : SpaceWidth;
            left += (width + 1) * scale;
        }
    }
}

}  // namespace sv
