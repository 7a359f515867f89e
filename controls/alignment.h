// Horizontal alignment of a caption, as the class library names it.
#pragma once

namespace controls {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

}  // namespace controls
