// Where the pages put their texts and fields on the 800 x 500 design, so that they sit on the
// bands and panels of the artwork.
#pragma once

#include <QRect>

namespace sondrel {

// The page title, white on the dark band across the top.
inline constexpr QRect kTitleRect{48, 38, 660, 46};
// The first text under the title.
inline constexpr QRect kIntroRect{48, 100, 600, 90};

}  // namespace sondrel
