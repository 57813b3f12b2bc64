#include "winsupport/ScaledImages.h"

#include <cstdint>

#include "winsupport/DllSearch.h"

namespace {

UniqueBitmap LoadDrawing(HINSTANCE instance, int baseResource, int drawing, UINT flags) {
    const int resource = baseResource + (drawing == 100 ? 0 : drawing == 150 ? 1 : 2);
    return UniqueBitmap(
        static_cast<HBITMAP>(::LoadImageW(instance, MAKEINTRESOURCEW(resource), IMAGE_BITMAP, 0, 0, flags)));
}

SIZE SizeOf(HBITMAP bitmap) {
    BITMAP info{};
    if (::GetObjectW(bitmap, sizeof(info), &info) == 0) return {0, 0};
    return {info.bmWidth, info.bmHeight};
}

// HALFTONE averages the pixels a target pixel covers; COLORONCOLOR keeps
// one of them, for masks and key colours that must not blend.
UniqueBitmap Scaled(HBITMAP source, int width, int height, int mode) {
    const SIZE from = SizeOf(source);
    WindowDC screen(nullptr);
    if (!screen || from.cx == 0) return UniqueBitmap();
    UniqueBitmap result(::CreateCompatibleBitmap(screen.get(), width, height));
    const UniqueMemoryDC sourceDC(::CreateCompatibleDC(screen.get()));
    const UniqueMemoryDC targetDC(::CreateCompatibleDC(screen.get()));
    if (!result || !sourceDC || !targetDC) return UniqueBitmap();
    bool drawn = false;
    {
        SelectedObject in(sourceDC.get(), source);
        SelectedObject out(targetDC.get(), result.get());
        ::SetStretchBltMode(targetDC.get(), mode);
        ::SetBrushOrgEx(targetDC.get(), 0, 0, nullptr);
        drawn =
            ::StretchBlt(targetDC.get(), 0, 0, width, height, sourceDC.get(), 0, 0, from.cx, from.cy, SRCCOPY) != FALSE;
    }
    return drawn ? std::move(result) : UniqueBitmap();
}

// A mask with the key colour's pixels set (transparent in an image list).
UniqueBitmap MaskOf(HBITMAP colours, COLORREF key) {
    const SIZE size = SizeOf(colours);
    WindowDC screen(nullptr);
    UniqueBitmap mask(::CreateBitmap(size.cx, size.cy, 1, 1, nullptr));
    const UniqueMemoryDC sourceDC(::CreateCompatibleDC(screen.get()));
    const UniqueMemoryDC targetDC(::CreateCompatibleDC(screen.get()));
    if (!mask || !sourceDC || !targetDC) return UniqueBitmap();
    SelectedObject in(sourceDC.get(), colours);
    SelectedObject out(targetDC.get(), mask.get());
    // Copied to one bit per pixel, the background colour becomes white.
    ::SetBkColor(sourceDC.get(), key);
    ::BitBlt(targetDC.get(), 0, 0, size.cx, size.cy, sourceDC.get(), 0, 0, SRCCOPY);
    return mask;
}

// Black under the mask, as an image list draws a masked image.
void BlackenMasked(HBITMAP colours, HBITMAP mask) {
    const SIZE size = SizeOf(colours);
    WindowDC screen(nullptr);
    const UniqueMemoryDC maskDC(::CreateCompatibleDC(screen.get()));
    const UniqueMemoryDC coloursDC(::CreateCompatibleDC(screen.get()));
    if (!maskDC || !coloursDC) return;
    SelectedObject in(maskDC.get(), mask);
    SelectedObject out(coloursDC.get(), colours);
    // The mask's set bits arrive as white: the colours AND NOT it.
    ::SetBkColor(coloursDC.get(), RGB(255, 255, 255));
    ::SetTextColor(coloursDC.get(), RGB(0, 0, 0));
    constexpr DWORD kDestinationAndNotSource = 0x00220326;
    ::BitBlt(coloursDC.get(), 0, 0, size.cx, size.cy, maskDC.get(), 0, 0, kDestinationAndNotSource);
}

// The key colour turned white, which the strip's edges are blended with, so
// that filtering blends nothing with the key.
void WhitenKey(HBITMAP section, COLORREF key) {
    DIBSECTION dib{};
    if (::GetObjectW(section, sizeof(dib), &dib) != sizeof(dib) || dib.dsBm.bmBitsPixel != 24 ||
        dib.dsBm.bmBits == nullptr)
        return;
    auto* rows = static_cast<std::uint8_t*>(dib.dsBm.bmBits);
    for (int y = 0; y < dib.dsBm.bmHeight; ++y) {
        std::uint8_t* pixel = rows + static_cast<std::ptrdiff_t>(y) * dib.dsBm.bmWidthBytes;
        for (int x = 0; x < dib.dsBm.bmWidth; ++x, pixel += 3) {
            if (RGB(pixel[2], pixel[1], pixel[0]) == key) pixel[0] = pixel[1] = pixel[2] = 0xFF;
        }
    }
}

}  // namespace

int DrawingFor(int shown, int drawn) {
    if (shown <= drawn) return 100;
    if (shown * 2 <= drawn * 3) return 150;
    return 200;
}

UniqueBitmap LoadPictureSized(HINSTANCE instance, int baseResource, int drawnWidth, int width, int height) {
    UniqueBitmap drawing = LoadDrawing(instance, baseResource, DrawingFor(width, drawnWidth), 0);
    if (!drawing) return drawing;
    const SIZE size = SizeOf(drawing.get());
    if (size.cx == width && size.cy == height) return drawing;
    return Scaled(drawing.get(), width, height, HALFTONE);
}

UniqueIcon LoadIconSized(HINSTANCE instance, int resource, int size) {
    // Vista's common controls scale the next larger image down; the loader
    // before them takes the nearest and stretches it.
    using ScaleDown = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
    const auto scaleDown = LoadedSystemFunction<ScaleDown>(L"comctl32.dll", "LoadIconWithScaleDown");
    HICON icon = nullptr;
    if (scaleDown != nullptr && SUCCEEDED(scaleDown(instance, MAKEINTRESOURCEW(resource), size, size, &icon)))
        return UniqueIcon(icon);
    return UniqueIcon(
        static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(resource), IMAGE_ICON, size, size, 0)));
}

MaskedStrip LoadStripSized(HINSTANCE instance, int baseResource, int drawnSize, int size, COLORREF key) {
    MaskedStrip strip;
    UniqueBitmap drawing = LoadDrawing(instance, baseResource, DrawingFor(size, drawnSize), LR_CREATEDIBSECTION);
    const SIZE drawn = SizeOf(drawing.get());
    if (!drawing || drawn.cy == 0) return strip;
    const int width = ::MulDiv(drawn.cx, size, drawn.cy);
    if (drawn.cy == size) {
        strip.mask = MaskOf(drawing.get(), key);
        strip.colours = std::move(drawing);
    } else {
        strip.mask = MaskOf(Scaled(drawing.get(), width, size, COLORONCOLOR).get(), key);
        WhitenKey(drawing.get(), key);
        strip.colours = Scaled(drawing.get(), width, size, HALFTONE);
    }
    if (!strip.mask || !strip.colours) return {};
    BlackenMasked(strip.colours.get(), strip.mask.get());
    return strip;
}
