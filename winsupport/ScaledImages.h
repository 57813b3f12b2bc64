#pragma once
// Pictures and icons are drawn for 100 %, 150 % and 200 %: a bitmap as three
// resources (its id, plus one, plus two), an icon as three sizes in one
// resource. Shown at another size, the nearest larger drawing is scaled down
// with filtering, so that up to 200 % nothing is scaled up.

#include <windows.h>

#include "winsupport/Handles.h"

// Which drawing serves an image shown `shown` pixels wide that is drawn
// `drawn` pixels wide at 100 %: 100, 150 or 200 (beyond that, 200 scaled up).
int DrawingFor(int shown, int drawn);

// The bitmap at width × height pixels, its drawing `drawnWidth` wide at 100 %.
UniqueBitmap LoadPictureSized(HINSTANCE instance, int baseResource, int drawnWidth, int width, int height);

// The icon at size × size pixels, from its nearest larger image.
UniqueIcon LoadIconSized(HINSTANCE instance, int resource, int size);

// A strip of square images on a key colour, drawn `drawnSize` high at 100 %,
// as `size`-pixel squares: the colours and the mask an image list takes
// (ImageList_Add); both empty when the strip cannot be loaded.
struct MaskedStrip {
    UniqueBitmap colours;
    UniqueBitmap mask;
};
MaskedStrip LoadStripSized(HINSTANCE instance, int baseResource, int drawnSize, int size, COLORREF key);
