#pragma once
// The program's pictures, drawn by code so that they scale to any size and need no image files.
#include <QImage>
#include <QString>

namespace sv {

// The application icon, size × size pixels, transparent outside its rounded square.
QImage PaintIcon(int size);

// A waveform turning into a smooth spectrum, with the program's name and a caption line.
QImage PaintTitlePicture(int width, int height, const QString& caption);

}  // namespace sv
