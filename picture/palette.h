#pragma once

#include "geometry/point.h"
#include "picture/rgb_image.h"

// The picture's colours: one per part type (the page's too), the shades of its faces, and the
// fixed colours of everything else.
namespace tessera {

inline constexpr Rgb kPictureBackground{255, 255, 255};
inline constexpr Rgb kHeightLineColour{200, 0, 200};
inline constexpr Rgb kUnplacedOutlineColour{220, 0, 0};
inline constexpr Rgb kTextColour{30, 30, 30};
inline constexpr Rgb kContainerColour{70, 70, 90};
inline constexpr Rgb kRuleColour{200, 200, 200};
/// What parts without a place are washed towards.
inline constexpr Rgb kWashColour{215, 215, 215};

/// a moved towards b by weightOfB (0: a, 1: b), each channel rounded half up.
Rgb mix(Rgb a, Rgb b, double weightOfB);

/// The palette colour of a part type; types beyond the palette reuse it in order.
Rgb typeColour(int typeIndex);
/// The outline of a placed part's faces and of its legend swatch: the type colour half darkened.
Rgb typeOutlineColour(int typeIndex);
/// The washed-out colour of a part of this type that found no place.
Rgb unplacedColour(int typeIndex);
/// A face of the given colour under the fixed light from front-left-top; normal is any non-zero
/// vector that points from the face towards the viewer.
Rgb shadeFace(Rgb colour, const Point& normal);

}  // namespace tessera
