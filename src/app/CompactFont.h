#pragma once
// The windows are laid out in pixels for a small font; a semi-condensed face keeps the longer
// captions inside their places where the platform has one.
#include <QFont>

namespace sv {

inline QFont CompactFont(QFont font) {
    font.setPixelSize(11);
    font.setStretch(QFont::SemiCondensed);
    return font;
}

}  // namespace sv
