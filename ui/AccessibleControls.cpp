#include "ui/AccessibleControls.h"

#include <windows.h>
#include <commctrl.h>
#include <initguid.h>  // before oleacc.h: defines IID_IAccessible here
#include <oleacc.h>

#include <atomic>
#include <iterator>
#include <memory>
#include <utility>

#include "ui/LinkLabels.h"
#include "winsupport/DecimalText.h"
#include "winsupport/LateImports.h"

namespace {

constexpr UINT_PTR kSubclassId = 0xACC;
// UI Automation's LiveSetting property, which MSAA's property services set.
constexpr GUID kLiveSetting = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr long kPolite = 1;

struct ReleaseInterface {
    void operator()(IUnknown* object) const noexcept {
        if (object != nullptr) object->Release();
    }
};
using StandardObject = std::unique_ptr<IAccessible, ReleaseInterface>;

bool IsSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

HRESULT Text(const std::wstring& text, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = late::SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

long RoleOf(AccessibleKind kind) {
    switch (kind) {
        case AccessibleKind::Graphic:
        case AccessibleKind::Decoration:
            return ROLE_SYSTEM_GRAPHIC;
        case AccessibleKind::Progress:
            return ROLE_SYSTEM_PROGRESSBAR;
        case AccessibleKind::List:
            return ROLE_SYSTEM_LIST;
        case AccessibleKind::Link:
            break;
    }
    return ROLE_SYSTEM_LINK;
}

int RowCount(HWND list) {
    return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

// The system's object for the control with the answers it lacks. Lives as
// long as a screen reader holds it, which may be longer than the control.
class AccessibleObject final : public IAccessible, public IOleWindow {
public:
    AccessibleObject(HWND control, AccessibleFacts facts, StandardObject standard)
        : control_(control), facts_(std::move(facts)), standard_(std::move(standard)) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
            *object = static_cast<IAccessible*>(this);
        } else if (iid == IID_IOleWindow) {
            *object = static_cast<IOleWindow*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) std::unique_ptr<AccessibleObject> last(this);
        return left;
    }

    // IDispatch, as the system's object answers it
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return standard_->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return standard_->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return standard_->GetIDsOfNames(iid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override {
        return standard_->Invoke(id, iid, locale, flags, parameters, result, exception, argumentError);
    }

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (window == nullptr) return E_POINTER;
        *window = control_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return standard_->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        if (!IsList()) return standard_->get_accChildCount(count);
        if (count == nullptr) return E_POINTER;
        *count = ::IsWindow(control_) ? RowCount(control_) : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        if (!IsRow(child)) return standard_->get_accChild(child, object);
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        return S_FALSE;  // a row is an element of the list, not an object of its own
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (IsRow(child)) return Text(ListRowText(control_, child.lVal - 1, facts_.rowWords), name);
        if (!IsSelf(child)) return standard_->get_accName(child, name);
        if (facts_.kind == AccessibleKind::Decoration) {
            if (name == nullptr) return E_POINTER;
            *name = nullptr;
            return S_FALSE;
        }
        if (!facts_.name.empty()) return Text(facts_.name, name);
        return standard_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (IsSelf(child) && facts_.kind == AccessibleKind::Progress) return Text(ProgressText(control_), value);
        if (IsRow(child)) {
            if (value == nullptr) return E_POINTER;
            *value = nullptr;
            return S_FALSE;
        }
        return standard_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        return standard_->get_accDescription(child, description);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!IsSelf(child) && !IsRow(child)) return standard_->get_accRole(child, role);
        if (role == nullptr) return E_POINTER;
        role->vt = VT_I4;
        role->lVal = IsRow(child) ? ROLE_SYSTEM_LISTITEM : RoleOf(facts_.kind);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (!IsRow(child)) return standard_->get_accState(child, state);
        if (state == nullptr) return E_POINTER;
        const UINT selected =
            static_cast<UINT>(::SendMessageW(control_, LVM_GETITEMSTATE, child.lVal - 1, LVIS_SELECTED));
        state->vt = VT_I4;
        state->lVal = STATE_SYSTEM_SELECTABLE | ((selected & LVIS_SELECTED) != 0 ? STATE_SYSTEM_SELECTED : 0);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return standard_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return standard_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return standard_->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return standard_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (IsSelf(child) && facts_.kind == AccessibleKind::Link) return Text(facts_.action, action);
        return standard_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return standard_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        if (!IsRow(child)) return standard_->accLocation(left, top, width, height, child);
        if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
        RECT row{};
        row.left = LVIR_BOUNDS;
        if (!::SendMessageW(control_, LVM_GETITEMRECT, child.lVal - 1, reinterpret_cast<LPARAM>(&row)))
            return E_INVALIDARG;
        ::MapWindowPoints(control_, nullptr, reinterpret_cast<POINT*>(&row), 2);
        *left = row.left;
        *top = row.top;
        *width = row.right - row.left;
        *height = row.bottom - row.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return standard_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        return standard_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!IsSelf(child) || facts_.kind != AccessibleKind::Link) return standard_->accDoDefaultAction(child);
        if (!::IsWindow(control_) || !::IsWindowVisible(control_)) return E_FAIL;
        ClickLabel(control_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return standard_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return standard_->put_accValue(child, value);
    }

private:
    bool IsList() const { return facts_.kind == AccessibleKind::List; }
    bool IsRow(const VARIANT& child) const {
        return IsList() && child.vt == VT_I4 && child.lVal >= 1 && ::IsWindow(control_) &&
               child.lVal <= RowCount(control_);
    }

    std::atomic<ULONG> references_{1};
    HWND control_;
    AccessibleFacts facts_;
    StandardObject standard_;
};

LRESULT Answer(HWND control, const AccessibleFacts& facts, WPARAM wParam) {
    void* standard = nullptr;
    if (FAILED(late::CreateStdAccessibleObject(control, OBJID_CLIENT, IID_IAccessible, &standard)) ||
        standard == nullptr)
        return 0;
    StandardObject inner(static_cast<IAccessible*>(standard));
    auto object = std::make_unique<AccessibleObject>(control, facts, std::move(inner));
    // The answer holds a reference of its own; ours goes, and with it the
    // object if no answer could be made.
    const LRESULT result = late::LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(object.get()));
    object.release()->Release();
    return result;
}

}  // namespace

AccessibleControls::~AccessibleControls() {
    for (const auto& entry : facts_) {
        if (::IsWindow(entry.first)) ::RemoveWindowSubclass(entry.first, &AccessibleControls::ControlProc, kSubclassId);
    }
}

void AccessibleControls::Describe(HWND control, const AccessibleFacts& facts) {
    if (control == nullptr) return;
    const bool known = facts_.count(control) != 0;
    facts_[control] = facts;
    if (!known &&
        !::SetWindowSubclass(control, &AccessibleControls::ControlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        facts_.erase(control);
}

const AccessibleFacts* AccessibleControls::FactsOf(HWND control) const {
    const auto found = facts_.find(control);
    return found != facts_.end() ? &found->second : nullptr;
}

LRESULT CALLBACK AccessibleControls::ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                 DWORD_PTR owner) {
    auto* self = reinterpret_cast<AccessibleControls*>(owner);
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(control, &AccessibleControls::ControlProc, kSubclassId);
        if (self != nullptr) self->facts_.erase(control);
    } else if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT && self != nullptr) {
        if (const AccessibleFacts* facts = self->FactsOf(control)) {
            if (self->prepare_) self->prepare_();
            const LRESULT answer = Answer(control, *facts, wParam);
            if (answer != 0) return answer;
        }
    }
    return ::DefSubclassProc(control, message, wParam, lParam);
}

void MakeLiveRegion(HWND control) {
    void* services = nullptr;
    if (control == nullptr ||
        FAILED(late::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                      &services)) ||
        services == nullptr)
        return;
    const std::unique_ptr<IAccPropServices, ReleaseInterface> held(static_cast<IAccPropServices*>(services));
    VARIANT polite{};
    polite.vt = VT_I4;
    polite.lVal = kPolite;
    held->SetHwndProp(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kLiveSetting, polite);
}

bool LiveRegionsAvailable(const WindowsRelease& windows) {
    return windows.major > 6 || (windows.major == 6 && windows.minor >= 2);
}

void AnnounceChange(HWND control, bool liveRegions) {
    if (control == nullptr) return;
    ::NotifyWinEvent(liveRegions ? kEventLiveRegionChanged : EVENT_OBJECT_NAMECHANGE, control, OBJID_CLIENT,
                     CHILDID_SELF);
}

namespace {
// The bar watched and the value changes seen for it, its own and ours.
HWND g_watchedBar = nullptr;
int g_valueChanges = 0;

void CALLBACK CountValueChange(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (window != nullptr && window == g_watchedBar && object == OBJID_CLIENT && child == CHILDID_SELF)
        ++g_valueChanges;
}
}  // namespace

ProgressAnnouncer::ProgressAnnouncer(HWND bar) : bar_(bar) {
    g_watchedBar = bar;
    g_valueChanges = 0;
    hook_ = ::SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr, &CountValueChange,
                              ::GetCurrentProcessId(), ::GetCurrentThreadId(), WINEVENT_OUTOFCONTEXT);
}

ProgressAnnouncer::~ProgressAnnouncer() {
    if (hook_ != nullptr) ::UnhookWinEvent(hook_);
    g_watchedBar = nullptr;
}

void ProgressAnnouncer::Moved() {
    // The events of a step arrive with the messages after it: the first
    // step's are known at the second.
    const bool barTells = g_valueChanges > raised_;
    if (steps_++ == 0 || barTells || hook_ == nullptr) return;
    ::NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, bar_, OBJID_CLIENT, CHILDID_SELF);
    ++raised_;
}

std::wstring ListRowText(HWND list, int row, const std::vector<std::wstring>& rowWords) {
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = header != nullptr ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    std::wstring text;
    for (int column = 0; column < columns; ++column) {
        wchar_t cell[512] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = cell;
        item.cchTextMax = static_cast<int>(std::size(cell));
        ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        if (cell[0] == L'\0') continue;
        if (!text.empty()) text += L", ";
        text += cell;
    }
    LVITEMW image{};
    image.mask = LVIF_IMAGE;
    image.iItem = row;
    if (::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&image)) && image.iImage >= 0 &&
        static_cast<size_t>(image.iImage) < rowWords.size() && !rowWords[image.iImage].empty())
        text += L", " + rowWords[image.iImage];
    return text;
}

std::wstring ProgressText(HWND bar) {
    PBRANGE range{};
    ::SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    const int position = static_cast<int>(::SendMessageW(bar, PBM_GETPOS, 0, 0));
    const int span = range.iHigh - range.iLow;
    const int percent = span > 0 ? ::MulDiv(position - range.iLow, 100, span) : 0;
    return DecimalText(percent) + L"%";
}
