#include "picture/PngFile.h"

#include <png.h>

#include <csetjmp>
#include <vector>

#include "base/AtomicFileWriter.h"
#include "base/IoError.h"

namespace sv {

namespace {

void Append(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

// Encodes rows into out; false when libpng gave up. No object with a destructor lives in this
// frame, as libpng leaves it by longjmp.
bool Encode(std::vector<png_bytep>& rows, int width, int height, std::vector<unsigned char>& out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, Append, NoFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

void SavePng(const RasterCanvas& picture, const std::filesystem::path& target) {
    const int width = picture.Width(), height = picture.Height();
    if (width <= 0 || height <= 0)
        ThrowIoError("An empty picture cannot be saved as " + target.string());
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 3);
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        unsigned char* row = pixels.data() + static_cast<std::size_t>(y) * width * 3;
        rows[static_cast<std::size_t>(y)] = row;
        for (int x = 0; x < width; ++x) {
            const RgbColour c = picture.Pixel(x, y);
            row[3 * x] = c.r;
            row[3 * x + 1] = c.g;
            row[3 * x + 2] = c.b;
        }
    }
    std::vector<unsigned char> encoded;
    if (!Encode(rows, width, height, encoded))
        ThrowIoError("Cannot encode the picture for " + target.string());
    AtomicFileWriter writer(target);
    writer.Write(encoded.data(), encoded.size());
    writer.Commit();
}

}  // namespace sv
