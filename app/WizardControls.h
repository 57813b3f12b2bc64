#pragma once
// The window's controls, made from the design table: their windows, fonts,
// icons and pictures, and the few ways the pages change them. A page is made
// with all its controls on first use, so that start-up makes one page only.

#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/ControlLayout.h"
#include "winsupport/Handles.h"

// The design's font of a role at a resolution.
LOGFONTA DesignFont(FontRole role, int dpiY);
// The file list's images at a resolution: the system's small icons from 144 dpi on.
int ListImageSizeFor(int dpi);

class WizardControls {
public:
    // Runs once for each page right after its controls are made.
    using PageLoader = std::function<void(ControlId panel)>;

    WizardControls() = default;
    WizardControls(const WizardControls&) = delete;
    WizardControls& operator=(const WizardControls&) = delete;

    // The screen's resolution, which places every control; read before the
    // window is made, which is sized by it.
    void ReadScreenResolution();
    // The resolution of the window's own monitor, before its controls are made.
    void SetResolution(int dpi) noexcept { dpiX_ = dpiY_ = dpi; }
    int Resolution() const noexcept { return dpiY_; }
    // Moved to a monitor of another resolution: every made control laid out
    // again where it stands now (in twips), with fonts, pictures and icons
    // made anew for it, and link labels fitted to their texts again.
    void ChangeResolution(int dpi);
    // Starts over for a new window: no control made, none of its pages either.
    void Attach(HWND window, const char* panelClass, void* panelParam, PageLoader loader);
    // The controls on the window itself (button bar, page panels) and on the
    // first page, without the page's loader. False if one cannot be made.
    bool MakeFirst(ControlId firstPage);
    // Makes a page that has not been made, unless the window is going away.
    void MakePage(ControlId panel);
    // The window is going away: no more pages are made.
    void StopMaking() noexcept { making_ = false; }
    // The windows are gone.
    void Forget() noexcept;

    // The control, making its page first if needed; null once the window is gone.
    HWND Get(ControlId id) noexcept;
    // The control if it has been made, without making its page.
    HWND Made(ControlId id) const noexcept;
    const ControlLayout* LayoutOf(HWND control) const;
    bool Has(HWND control, ControlTrait trait) const;

    void SetText(ControlId id, const std::wstring& text);
    void SetVisible(ControlId id, bool visible);
    void SetEnabled(ControlId id, bool enabled);
    void MoveTo(ControlId id, int leftTwips, int topTwips);
    void MoveTop(ControlId id, int topTwips);
    // The control's own visible flag, whatever its page's place in the z-order.
    bool IsShown(ControlId id);

    int ToPixelsX(int twips) const noexcept { return ::MulDiv(twips, dpiX_, 1440); }
    int ToPixelsY(int twips) const noexcept { return ::MulDiv(twips, dpiY_, 1440); }
    // Up to 120 dpi pictures and icons keep the pixel sizes they are drawn
    // at; from 144 dpi on they fill the frames the layout gives them.
    bool KeepsDrawnSizes() const noexcept { return dpiY_ <= 120; }
    int ListImageSize() const { return ListImageSizeFor(dpiX_); }

private:
    bool MakeOn(ControlId parent);
    HWND MakeControl(const ControlLayout& layout);
    HFONT FontFor(FontRole role);
    // The control's icon or picture at the current resolution.
    void SetImage(const ControlLayout& layout, HWND control);
    // Link labels grow with the text they show.
    void FitToText(HWND control, const std::string& ansi);

    // Cancel's id lies outside the contiguous range; it takes the last slot.
    static constexpr size_t kSlotCount = EndOfControlIds - FirstControlId + 1;
    static bool HasSlot(ControlId id) noexcept {
        return id == cmdAbbrechen || (id >= FirstControlId && id < EndOfControlIds);
    }
    static size_t Slot(ControlId id) noexcept {
        return id == cmdAbbrechen ? kSlotCount - 1 : static_cast<size_t>(id - FirstControlId);
    }

    HWND window_ = nullptr;
    const char* panelClass_ = nullptr;
    void* panelParam_ = nullptr;
    PageLoader loader_;
    bool making_ = false;
    int dpiX_ = 96;
    int dpiY_ = 96;
    std::array<HWND, kSlotCount> controls_{};
    std::array<POINT, kSlotCount> placed_{};    // where each stands, in twips
    std::array<bool, kSlotCount> pagesMade_{};  // by the panel's slot
    std::vector<std::pair<FontRole, UniqueFont>> fonts_;
    std::vector<std::pair<ControlId, UniqueIcon>> icons_;
    std::vector<std::pair<ControlId, UniqueBitmap>> pictures_;
};
