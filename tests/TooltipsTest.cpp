// Drives the real tooltip control of the common controls through cTooltips,
// with tools registered on real child windows of a test form.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "ui/cTooltips.h"
#include "winsupport/Handles.h"

struct cTooltipsTestAccess {
    static TTTOOLINFOA FindToolInfo(cTooltips& tips, HWND control) { return tips.FindToolInfo(control); }
    static std::int32_t LowWord(std::int32_t value) { return cTooltips::LowWord(value); }
    static std::int32_t HighWord(std::int32_t value) { return cTooltips::HighWord(value); }
    static COLORREF TranslateColor(std::uint32_t color) { return cTooltips::TranslateColor(color); }
    static std::size_t TextBufferSize() { return cTooltips::kTextBufferSize; }
};

namespace {

using Access = cTooltipsTestAccess;

const wchar_t kFormClass[] = L"TooltipsTestForm";

void RegisterFormClass() {
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = ::DefWindowProcW;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kFormClass;
        return ::RegisterClassExW(&windowClass) != 0;
    }();
    ASSERT_TRUE(registered) << "form class not registered";
}

std::string Hex(std::uint64_t value) {
    std::ostringstream out;
    out << "0x" << std::hex << value;
    return out.str();
}

std::string Describe(const RECT& rect) {
    std::ostringstream out;
    out << "(" << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom << ")";
    return out.str();
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const TTTOOLINFOA& record) {
    std::ostringstream out;
    out << "{cbSize " << record.cbSize << ", uFlags " << Hex(record.uFlags) << ", hwnd "
        << Hex(reinterpret_cast<std::uintptr_t>(record.hwnd)) << ", uId " << Hex(record.uId) << ", rect "
        << Describe(record.rect) << ", hinst " << Hex(reinterpret_cast<std::uintptr_t>(record.hinst)) << ", lpszText "
        << Hex(reinterpret_cast<std::uintptr_t>(record.lpszText)) << "}";
    return out.str();
}

std::uintptr_t Bits(const void* pointer) {
    return reinterpret_cast<std::uintptr_t>(pointer);
}

// The pointer a message carries when it names an ANSI string, not a resource id.
bool IsTextPointer(const char* text) {
    return text != nullptr && !IS_INTRESOURCE(text) && text != LPSTR_TEXTCALLBACKA;
}

// One tooltip message as the control received it.
struct SentMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool textIsNull = true;  // for messages carrying a string or a record with one
    std::string text;
    TTTOOLINFOA record{};  // the record's fields up to its cbSize
    TTHITTESTINFOA hitTest{};
    RECT rect{};
};

// Records the tooltip messages a window receives by replacing its window
// procedure, as message-sequence tests do; every message goes on to the control.
class MessageRecorder {
public:
    explicit MessageRecorder(HWND window) : window_(window) {
        active_ = this;
        previous_ = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageRecorder::Procedure)));
    }
    ~MessageRecorder() {
        if (::IsWindow(window_) &&
            ::GetWindowLongPtrW(window_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&MessageRecorder::Procedure)) {
            ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        }
        active_ = nullptr;
    }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    bool Installed() const { return previous_ != nullptr; }
    void Clear() { sent_.clear(); }
    const std::vector<SentMessage>& All() const { return sent_; }
    std::vector<SentMessage> Of(UINT message) const {
        std::vector<SentMessage> found;
        for (const SentMessage& sent : sent_)
            if (sent.message == message) found.push_back(sent);
        return found;
    }
    // Every recorded message other than those in the list.
    std::vector<UINT> Besides(const std::vector<UINT>& expected) const {
        std::vector<UINT> others;
        for (const SentMessage& sent : sent_) {
            bool listed = false;
            for (UINT message : expected) listed = listed || sent.message == message;
            if (!listed) others.push_back(sent.message);
        }
        return others;
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        MessageRecorder* self = active_;
        if (self == nullptr || self->previous_ == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
        if (window == self->window_ && message >= WM_USER && message < WM_USER + 0x100)
            self->sent_.push_back(Capture(message, wParam, lParam));
        return ::CallWindowProcW(self->previous_, window, message, wParam, lParam);
    }

    static SentMessage Capture(UINT message, WPARAM wParam, LPARAM lParam) {
        SentMessage sent;
        sent.message = message;
        sent.wParam = wParam;
        sent.lParam = lParam;
        switch (message) {
            case TTM_SETTITLEA: {
                const char* title = reinterpret_cast<const char*>(lParam);
                sent.textIsNull = title == nullptr;
                if (title) sent.text = title;
                break;
            }
            case TTM_ADDTOOLA:
            case TTM_DELTOOLA:
            case TTM_UPDATETIPTEXTA:
            case TTM_NEWTOOLRECTA:
            case TTM_TRACKACTIVATE:
            case TTM_GETBUBBLESIZE:
            case TTM_ENUMTOOLSA: {
                const auto* record = reinterpret_cast<const TTTOOLINFOA*>(lParam);
                if (record == nullptr) break;
                std::memcpy(&sent.record, record, std::min<std::size_t>(record->cbSize, sizeof(sent.record)));
                sent.textIsNull = record->lpszText == nullptr;
                if (message != TTM_ENUMTOOLSA && IsTextPointer(record->lpszText)) sent.text = record->lpszText;
                break;
            }
            case TTM_HITTESTA:
                if (lParam != 0) sent.hitTest = *reinterpret_cast<const TTHITTESTINFOA*>(lParam);
                break;
            case TTM_SETMARGIN:
                if (lParam != 0) sent.rect = *reinterpret_cast<const RECT*>(lParam);
                break;
            default:
                break;
        }
        return sent;
    }

    static MessageRecorder* active_;
    HWND window_;
    WNDPROC previous_ = nullptr;
    std::vector<SentMessage> sent_;
};

MessageRecorder* MessageRecorder::active_ = nullptr;

std::string Names(const std::vector<UINT>& messages) {
    std::string names;
    for (UINT message : messages)
        names += (names.empty() ? "WM_USER+" : ", WM_USER+") + std::to_string(message - WM_USER);
    return names.empty() ? "none" : names;
}

// What the control holds for the tool at an index, read with a text buffer.
struct EnumeratedTool {
    bool found = false;
    TTTOOLINFOA record{};
    bool textIsNull = true;
    std::string text;
};

EnumeratedTool EnumerateTool(HWND tip, UINT index) {
    EnumeratedTool tool;
    std::vector<char> buffer(4096, '\0');
    tool.record.cbSize = cTooltips::kToolInfoSize;
    tool.record.lpszText = buffer.data();
    tool.found = ::SendMessageA(tip, TTM_ENUMTOOLSA, index, reinterpret_cast<LPARAM>(&tool.record)) != 0;
    tool.textIsNull = tool.record.lpszText == nullptr;
    if (tool.record.lpszText == buffer.data()) tool.text = buffer.data();
    tool.record.lpszText = nullptr;  // the buffer goes away
    return tool;
}

RECT ControlMargins(HWND tip) {
    RECT margins{-1, -1, -1, -1};
    ::SendMessageA(tip, TTM_GETMARGIN, 0, reinterpret_cast<LPARAM>(&margins));
    return margins;
}

RECT MemberMargins(const cTooltips& tips) {
    return RECT{tips.MarginLeft(), tips.MarginTop(), tips.MarginRight(), tips.MarginBottom()};
}

class TooltipsTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterFormClass();
        form_.reset(::CreateWindowExW(0, kFormClass, L"Tooltips test", WS_OVERLAPPEDWINDOW, 100, 100, 400, 300, nullptr,
                                      nullptr, ::GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(form_) << "form not created, error " << ::GetLastError();
        label_ = Child(L"STATIC", L"Label", 10, 10);
        button_ = Child(L"BUTTON", L"Button", 10, 40);
        other_ = Child(L"BUTTON", L"Other", 10, 70);
        ASSERT_NE(label_, nullptr);
        ASSERT_NE(button_, nullptr);
        ASSERT_NE(other_, nullptr);
    }

    HWND Child(const wchar_t* windowClass, const wchar_t* text, int x, int y) {
        return ::CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE, x, y, 120, 24, form_.get(), nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    }

    HWND form() const { return form_.get(); }

    // Declared before the tooltip object: the owner outlives the tooltip window.
    UniqueWindow form_;
    cTooltips tips_;
    HWND label_ = nullptr;
    HWND button_ = nullptr;
    HWND other_ = nullptr;
};

// ---------------------------------------------------------------------------
// Without a window

TEST_F(TooltipsTest, EveryMemberIsInertWithoutWindow) {
    cTooltips tips;
    EXPECT_EQ(tips.hwnd(), nullptr);

    // Writers first: none may change what the readers report.
    tips.AddTool(button_, 0, L"text");
    tips.DeleteTool(button_);
    tips.SetTipText(button_, L"text");
    tips.SetToolRect(button_, 0, 0, 10, 10);
    tips.SetTracking(button_, true);
    tips.SetTrackPosition(button_, 5, 5);
    tips.HideTips();
    tips.SetDelayTime(TTDT_AUTOPOP, 1234);
    tips.SetMarginLeft(1);
    tips.SetMarginTop(2);
    tips.SetMarginRight(3);
    tips.SetMarginBottom(4);
    tips.SetMaxTipWidth(200);
    tips.SetBackColor(0x123456);
    tips.SetForeColor(0x654321);
    tips.SetIcon(TTI_WARNING);
    tips.SetTitle(L"Title");

    const WindowDC dc(form());
    struct Reading {
        const char* member;
        std::int64_t found;
    };
    const Reading readings[] = {
        {"ToolCount", tips.ToolCount()},
        {"Icon", tips.Icon()},
        {"GetDelayTime(TTDT_AUTOPOP)", tips.GetDelayTime(TTDT_AUTOPOP)},
        {"GetDelayTime(TTDT_INITIAL)", tips.GetDelayTime(TTDT_INITIAL)},
        {"MarginLeft", tips.MarginLeft()},
        {"MarginTop", tips.MarginTop()},
        {"MarginRight", tips.MarginRight()},
        {"MarginBottom", tips.MarginBottom()},
        {"MaxTipWidth", tips.MaxTipWidth()},
        {"BackColor", tips.BackColor()},
        {"ForeColor", tips.ForeColor()},
        {"GetTooltipWidth", tips.GetTooltipWidth(button_)},
        {"GetTooltipHeight", tips.GetTooltipHeight(button_)},
        {"ToolTipWidthFromText", tips.ToolTipWidthFromText(dc.get(), L"Some text")},
        {"ToolTipHeightFromText", tips.ToolTipHeightFromText(dc.get(), L"Some text")},
        {"TextWidthFromToolTipWidth", tips.TextWidthFromToolTipWidth(dc.get(), 100)},
        {"TextHeightFromToolTipHeight", tips.TextHeightFromToolTipHeight(dc.get(), 100)},
        {"GetShellVersion", tips.GetShellVersion()},
        {"HitTest", tips.HitTest(button_, 5, 5) ? 1 : 0},
        {"Enabled", tips.Enabled() ? 1 : 0},
        {"FindToolInfo.cbSize", Access::FindToolInfo(tips, button_).cbSize},
    };
    for (const Reading& reading : readings) EXPECT_EQ(reading.found, 0) << reading.member << " without a window";
    EXPECT_EQ(tips.Title(), L"");
    EXPECT_EQ(tips.hwnd(), nullptr);
}

TEST_F(TooltipsTest, EnabledWrittenBeforeCreateReadsFalseUntilWindowExists) {
    tips_.SetEnabled(true);
    EXPECT_FALSE(tips_.Enabled()) << "no window yet";
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    EXPECT_TRUE(tips_.Enabled()) << "after Create";
}

TEST_F(TooltipsTest, CreateEnablesEvenAfterDisabledWrite) {
    tips_.SetEnabled(false);
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    EXPECT_TRUE(tips_.Enabled());
}

TEST_F(TooltipsTest, IconAndTitleWrittenBeforeCreateAreNotStored) {
    tips_.SetIcon(TTI_ERROR);
    tips_.SetTitle(L"Early");
    EXPECT_EQ(tips_.Icon(), 0);
    EXPECT_EQ(tips_.Title(), L"");
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    EXPECT_EQ(tips_.Icon(), 0);
    EXPECT_EQ(tips_.Title(), L"");
}

TEST_F(TooltipsTest, GetShellVersionIsZeroWithAndWithoutWindow) {
    EXPECT_EQ(tips_.GetShellVersion(), 0);
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    EXPECT_EQ(tips_.GetShellVersion(), 0);
}

// ---------------------------------------------------------------------------
// The window

TEST_F(TooltipsTest, CreateMakesHiddenTopmostTooltipOwnedByForm) {
    const DWORD styles[] = {
        0, TTS_ALWAYSTIP, TTS_NOPREFIX, TTS_ALWAYSTIP | TTS_NOPREFIX, TTS_BALLOON, TTS_ALWAYSTIP | TTS_BALLOON};
    for (DWORD style : styles) {
        SCOPED_TRACE("style flags " + Hex(style));
        cTooltips tips;
        tips.Create(form(), style);
        const HWND tip = tips.hwnd();
        ASSERT_NE(tip, nullptr);
        ASSERT_TRUE(::IsWindow(tip));

        char className[64] = {};
        ::GetClassNameA(tip, className, sizeof(className));
        EXPECT_STREQ(className, TOOLTIPS_CLASSA);
        const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(tip, GWL_EXSTYLE));
        EXPECT_EQ(exStyle & WS_EX_TOPMOST, static_cast<DWORD>(WS_EX_TOPMOST)) << "extended style " << Hex(exStyle);
        const auto windowStyle = static_cast<DWORD>(::GetWindowLongPtrW(tip, GWL_STYLE));
        EXPECT_EQ(windowStyle & style, style) << "style " << Hex(windowStyle);
        EXPECT_EQ(windowStyle & WS_POPUP, static_cast<DWORD>(WS_POPUP)) << "style " << Hex(windowStyle);
        EXPECT_EQ(windowStyle & WS_CHILD, 0u) << "style " << Hex(windowStyle);
        EXPECT_FALSE(::IsWindowVisible(tip));
        EXPECT_EQ(::GetWindow(tip, GW_OWNER), form());
        EXPECT_TRUE(tips.Enabled());
        EXPECT_EQ(tips.Icon(), 0);
        EXPECT_EQ(tips.Title(), L"");
        EXPECT_EQ(tips.ToolCount(), 0);
    }
}

TEST_F(TooltipsTest, SecondCreateReplacesWindowAndResetsState) {
    tips_.Create(form(), 0);
    const HWND first = tips_.hwnd();
    ASSERT_NE(first, nullptr);
    tips_.AddTool(button_, 0, L"tip");
    tips_.SetIcon(TTI_ERROR);
    tips_.SetTitle(L"Title");
    tips_.SetEnabled(false);
    ASSERT_EQ(tips_.Icon(), TTI_ERROR);
    ASSERT_EQ(tips_.Title(), L"Title");
    ASSERT_FALSE(tips_.Enabled());

    tips_.Create(form(), TTS_ALWAYSTIP);
    EXPECT_FALSE(::IsWindow(first)) << "the first window survived";
    ASSERT_NE(tips_.hwnd(), nullptr);
    EXPECT_TRUE(::IsWindow(tips_.hwnd()));
    EXPECT_EQ(tips_.Icon(), 0);
    EXPECT_EQ(tips_.Title(), L"");
    EXPECT_TRUE(tips_.Enabled());
    EXPECT_EQ(tips_.ToolCount(), 0);
}

TEST_F(TooltipsTest, DestructorDestroysWindow) {
    HWND tip = nullptr;
    {
        cTooltips tips;
        tips.Create(form(), 0);
        tip = tips.hwnd();
        ASSERT_TRUE(::IsWindow(tip));
    }
    EXPECT_FALSE(::IsWindow(tip));
    EXPECT_TRUE(::IsWindow(form())) << "the owner must survive";
}

// ---------------------------------------------------------------------------
// Tools

TEST_F(TooltipsTest, AddToolCountsAndDeleteToolRemoves) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    const HWND controls[] = {label_, button_, other_};
    std::int32_t expected = 0;
    for (HWND control : controls) {
        tips_.AddTool(control, 0, L"tip");
        ++expected;
        EXPECT_EQ(tips_.ToolCount(), expected);
        EXPECT_EQ(::SendMessageA(tips_.hwnd(), TTM_GETTOOLCOUNT, 0, 0), expected);
    }
    tips_.DeleteTool(button_);
    EXPECT_EQ(tips_.ToolCount(), 2);
    EXPECT_EQ(Access::FindToolInfo(tips_, button_).cbSize, 0u) << "deleted tool still found";
    EXPECT_NE(Access::FindToolInfo(tips_, label_).cbSize, 0u);
    EXPECT_NE(Access::FindToolInfo(tips_, other_).cbSize, 0u);
    tips_.DeleteTool(button_);
    EXPECT_EQ(tips_.ToolCount(), 2) << "deleting an unregistered control";
}

TEST_F(TooltipsTest, AddToolFlagsAsTheControlHoldsThem) {
    struct Case {
        DWORD flags;
        DWORD expected;
    };
    const Case cases[] = {
        {0, TTF_IDISHWND | TTF_SUBCLASS},
        {TTF_IDISHWND, TTF_IDISHWND | TTF_SUBCLASS},
        {TTF_CENTERTIP, TTF_CENTERTIP | TTF_IDISHWND | TTF_SUBCLASS},
        {TTF_TRANSPARENT, TTF_TRANSPARENT | TTF_IDISHWND | TTF_SUBCLASS},
        {TTF_TRACK, TTF_TRACK | TTF_IDISHWND},
        {TTF_TRACK | TTF_ABSOLUTE, TTF_TRACK | TTF_ABSOLUTE | TTF_IDISHWND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("flags " + Hex(c.flags));
        cTooltips tips;
        tips.Create(form(), 0);
        ASSERT_NE(tips.hwnd(), nullptr);
        tips.AddTool(button_, c.flags, L"Button tip");
        ASSERT_EQ(tips.ToolCount(), 1);

        const EnumeratedTool tool = EnumerateTool(tips.hwnd(), 0);
        ASSERT_TRUE(tool.found);
        EXPECT_EQ(tool.record.uFlags, c.expected) << "enumerated " << Describe(tool.record);
        EXPECT_EQ(tool.record.hwnd, form()) << "the container";
        EXPECT_EQ(tool.record.uId, reinterpret_cast<UINT_PTR>(button_)) << "the control itself";
        EXPECT_EQ(tool.record.hinst, ::GetModuleHandleW(nullptr));
        EXPECT_TRUE(SameRect(tool.record.rect, RECT{})) << Describe(tool.record.rect);
        EXPECT_EQ(tool.text, "Button tip");

        TTTOOLINFOA query{};
        query.cbSize = cTooltips::kToolInfoSize;
        query.hwnd = form();
        query.uId = reinterpret_cast<UINT_PTR>(button_);
        ASSERT_TRUE(::SendMessageA(tips.hwnd(), TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&query)));
        EXPECT_EQ(query.uFlags, c.expected) << "TTM_GETTOOLINFOA " << Describe(query);
    }
}

TEST_F(TooltipsTest, AddToolSendsRecordOfTheOldLayout) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    MessageRecorder recorder(tips_.hwnd());
    ASSERT_TRUE(recorder.Installed());
    tips_.AddTool(button_, TTF_CENTERTIP, L"Tip text");

    const auto added = recorder.Of(TTM_ADDTOOLA);
    ASSERT_EQ(added.size(), 1u);
    const TTTOOLINFOA& record = added[0].record;
    EXPECT_EQ(record.cbSize, cTooltips::kToolInfoSize);
    EXPECT_EQ(record.cbSize, static_cast<UINT>(TTTOOLINFOA_V2_SIZE));
    EXPECT_EQ(record.uFlags, static_cast<UINT>(TTF_CENTERTIP | TTF_IDISHWND | TTF_SUBCLASS));
    EXPECT_EQ(record.hwnd, form());
    EXPECT_EQ(record.uId, reinterpret_cast<UINT_PTR>(button_));
    EXPECT_TRUE(SameRect(record.rect, RECT{})) << Describe(record.rect);
    EXPECT_EQ(record.hinst, ::GetModuleHandleW(nullptr));
    EXPECT_EQ(added[0].text, "Tip text");
    EXPECT_EQ(record.lParam, 0);
    EXPECT_EQ(added[0].wParam, 0u);
}

TEST(TooltipsRecord, SizeIsTheLayoutEndingWithLParam) {
    EXPECT_EQ(cTooltips::kToolInfoSize, static_cast<UINT>(TTTOOLINFOA_V2_SIZE));
    EXPECT_LT(cTooltips::kToolInfoSize, static_cast<UINT>(sizeof(TTTOOLINFOA))) << "must not include lpReserved";
#if defined(_WIN64)
    EXPECT_EQ(cTooltips::kToolInfoSize, 64u);
#else
    EXPECT_EQ(cTooltips::kToolInfoSize, 44u);
#endif
}

TEST_F(TooltipsTest, EmptyTextRegistersNullText) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    MessageRecorder recorder(tips_.hwnd());
    tips_.AddTool(button_, 0, L"");
    const auto added = recorder.Of(TTM_ADDTOOLA);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_TRUE(added[0].textIsNull) << "sent text pointer " << Hex(Bits(added[0].record.lpszText));

    const EnumeratedTool tool = EnumerateTool(tips_.hwnd(), 0);
    ASSERT_TRUE(tool.found);
    EXPECT_TRUE(tool.textIsNull) << "came back as " << (tool.textIsNull ? "null" : "\"" + tool.text + "\"");
}

TEST_F(TooltipsTest, FindToolInfoReturnsZeroRecordForUnregisteredControl) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    EXPECT_EQ(Access::FindToolInfo(tips_, button_).cbSize, 0u) << "no tools at all";
    tips_.AddTool(label_, 0, L"Label tip");
    const TTTOOLINFOA missing = Access::FindToolInfo(tips_, button_);
    const TTTOOLINFOA zero{};
    EXPECT_EQ(std::memcmp(&missing, &zero, sizeof(zero)), 0) << "found " << Describe(missing);

    const TTTOOLINFOA found = Access::FindToolInfo(tips_, label_);
    EXPECT_EQ(found.cbSize, cTooltips::kToolInfoSize) << Describe(found);
    EXPECT_EQ(found.uId, reinterpret_cast<UINT_PTR>(label_));
    EXPECT_EQ(found.hwnd, form());
    ASSERT_TRUE(IsTextPointer(found.lpszText)) << Describe(found);
    EXPECT_STREQ(found.lpszText, "Label tip");
}

TEST_F(TooltipsTest, FindToolInfoTakesTheFirstOfTwoToolsForOneControl) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    tips_.AddTool(label_, 0, L"Label");
    tips_.AddTool(button_, 0, L"first");
    tips_.AddTool(button_, TTF_CENTERTIP, L"second");
    ASSERT_EQ(tips_.ToolCount(), 3);

    const TTTOOLINFOA found = Access::FindToolInfo(tips_, button_);
    EXPECT_EQ(found.uFlags & TTF_CENTERTIP, 0u) << Describe(found);
    ASSERT_TRUE(IsTextPointer(found.lpszText)) << Describe(found);
    EXPECT_STREQ(found.lpszText, "first");

    MessageRecorder recorder(tips_.hwnd());
    tips_.SetToolRect(button_, 1, 2, 3, 4);
    const auto sent = recorder.Of(TTM_NEWTOOLRECTA);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].record.uFlags, static_cast<UINT>(TTF_IDISHWND | TTF_SUBCLASS)) << Describe(sent[0].record);
    EXPECT_TRUE(SameRect(sent[0].record.rect, RECT{1, 2, 3, 4})) << Describe(sent[0].record.rect);
    EXPECT_TRUE(SameRect(EnumerateTool(tips_.hwnd(), 1).record.rect, RECT{1, 2, 3, 4}));
}

TEST_F(TooltipsTest, FindToolInfoKeepsLongTextInsideItsBuffer) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    const std::wstring longText(900, L'x');
    tips_.AddTool(button_, 0, longText);
    const TTTOOLINFOA found = Access::FindToolInfo(tips_, button_);
    ASSERT_EQ(found.cbSize, cTooltips::kToolInfoSize);
    ASSERT_TRUE(IsTextPointer(found.lpszText)) << Describe(found);
    const std::size_t length = ::strnlen(found.lpszText, Access::TextBufferSize());
    EXPECT_LT(length, Access::TextBufferSize()) << "text not terminated inside the buffer";
    EXPECT_GT(length, 0u);
    EXPECT_EQ(std::string(found.lpszText), std::string(length, 'x'));
}

TEST_F(TooltipsTest, MembersSendNothingForUnregisteredControl) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    tips_.AddTool(label_, 0, L"Label");
    struct Case {
        const char* member;
        std::function<std::int64_t()> call;
    };
    const Case cases[] = {
        {"DeleteTool",
         [&] {
             tips_.DeleteTool(button_);
             return 0;
         }},
        {"SetTipText",
         [&] {
             tips_.SetTipText(button_, L"new");
             return 0;
         }},
        {"SetToolRect",
         [&] {
             tips_.SetToolRect(button_, 0, 0, 5, 5);
             return 0;
         }},
        {"SetTracking",
         [&] {
             tips_.SetTracking(button_, true);
             return 0;
         }},
        {"SetTrackPosition",
         [&] {
             tips_.SetTrackPosition(button_, 5, 5);
             return 0;
         }},
        {"GetTooltipWidth", [&] { return tips_.GetTooltipWidth(button_); }},
        {"GetTooltipHeight", [&] { return tips_.GetTooltipHeight(button_); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.member);
        MessageRecorder recorder(tips_.hwnd());
        EXPECT_EQ(c.call(), 0);
        EXPECT_EQ(Names(recorder.Besides({TTM_GETTOOLCOUNT, TTM_ENUMTOOLSA})), "none") << "sent besides the lookup";
        EXPECT_EQ(tips_.ToolCount(), 1);
    }
    EXPECT_EQ(EnumerateTool(tips_.hwnd(), 0).text, "Label");
}

TEST_F(TooltipsTest, SetTipTextReplacesTheText) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    tips_.AddTool(label_, 0, L"Label");
    tips_.AddTool(button_, 0, L"Old text");
    MessageRecorder recorder(tips_.hwnd());

    tips_.SetTipText(button_, L"New text");
    auto sent = recorder.Of(TTM_UPDATETIPTEXTA);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].record.cbSize, cTooltips::kToolInfoSize);
    EXPECT_EQ(sent[0].record.uId, reinterpret_cast<UINT_PTR>(button_));
    EXPECT_EQ(sent[0].text, "New text");
    EXPECT_EQ(EnumerateTool(tips_.hwnd(), 1).text, "New text");
    EXPECT_EQ(EnumerateTool(tips_.hwnd(), 0).text, "Label") << "the other tool changed";

    recorder.Clear();
    tips_.SetTipText(button_, L"");
    sent = recorder.Of(TTM_UPDATETIPTEXTA);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].textIsNull) << "empty text sent as " << Hex(Bits(sent[0].record.lpszText));
    const EnumeratedTool tool = EnumerateTool(tips_.hwnd(), 1);
    EXPECT_TRUE(tool.textIsNull || tool.text.empty()) << "came back as \"" << tool.text << "\"";
}

TEST_F(TooltipsTest, DeleteToolSendsTheToolsRecord) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    tips_.AddTool(button_, 0, L"tip");
    MessageRecorder recorder(tips_.hwnd());
    tips_.DeleteTool(button_);
    const auto sent = recorder.Of(TTM_DELTOOLA);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].record.cbSize, cTooltips::kToolInfoSize);
    EXPECT_EQ(sent[0].record.hwnd, form());
    EXPECT_EQ(sent[0].record.uId, reinterpret_cast<UINT_PTR>(button_));
    EXPECT_EQ(tips_.ToolCount(), 0);
}

// ---------------------------------------------------------------------------
// Settings

TEST_F(TooltipsTest, MarginsRoundTripAndSingleSideWritesKeepTheOthers) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    struct Case {
        const char* member;
        void (cTooltips::*write)(std::int32_t) const;
        RECT expected;
    };
    const Case cases[] = {
        {"SetMarginLeft", &cTooltips::SetMarginLeft, RECT{9, 2, 3, 4}},
        {"SetMarginTop", &cTooltips::SetMarginTop, RECT{1, 9, 3, 4}},
        {"SetMarginRight", &cTooltips::SetMarginRight, RECT{1, 2, 9, 4}},
        {"SetMarginBottom", &cTooltips::SetMarginBottom, RECT{1, 2, 3, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.member);
        tips_.SetMarginLeft(1);
        tips_.SetMarginTop(2);
        tips_.SetMarginRight(3);
        tips_.SetMarginBottom(4);
        ASSERT_TRUE(SameRect(ControlMargins(tips_.hwnd()), RECT{1, 2, 3, 4})) << Describe(ControlMargins(tips_.hwnd()));
        ASSERT_TRUE(SameRect(MemberMargins(tips_), RECT{1, 2, 3, 4})) << Describe(MemberMargins(tips_));

        MessageRecorder recorder(tips_.hwnd());
        (tips_.*c.write)(9);
        const auto sent = recorder.Of(TTM_SETMARGIN);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_TRUE(SameRect(sent[0].rect, c.expected))
            << "sent " << Describe(sent[0].rect) << ", expected " << Describe(c.expected);
        EXPECT_TRUE(SameRect(ControlMargins(tips_.hwnd()), c.expected))
            << "control holds " << Describe(ControlMargins(tips_.hwnd())) << ", expected " << Describe(c.expected);
        EXPECT_TRUE(SameRect(MemberMargins(tips_), c.expected))
            << "members read " << Describe(MemberMargins(tips_)) << ", expected " << Describe(c.expected);
    }
}

TEST_F(TooltipsTest, DelayTimesRoundTrip) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    struct Case {
        const char* name;
        std::int32_t which;
        std::int32_t milliseconds;
    };
    const Case cases[] = {
        {"TTDT_AUTOPOP", TTDT_AUTOPOP, 8000},
        {"TTDT_INITIAL", TTDT_INITIAL, 250},
        {"TTDT_RESHOW", TTDT_RESHOW, 75},
        {"TTDT_AUTOPOP again", TTDT_AUTOPOP, 32000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MessageRecorder recorder(tips_.hwnd());
        tips_.SetDelayTime(c.which, c.milliseconds);
        const auto sent = recorder.Of(TTM_SETDELAYTIME);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].wParam, static_cast<WPARAM>(c.which));
        EXPECT_EQ(sent[0].lParam, c.milliseconds);
        EXPECT_EQ(tips_.GetDelayTime(c.which), c.milliseconds);
        EXPECT_EQ(::SendMessageA(tips_.hwnd(), TTM_GETDELAYTIME, c.which, 0), c.milliseconds);
    }
}

TEST_F(TooltipsTest, ColoursRoundTripWithSystemColours) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    struct Case {
        std::uint32_t written;
        COLORREF expected;
    };
    const Case cases[] = {
        {0x00123456u, 0x00123456u},
        {0x000000FFu, 0x000000FFu},
        {0x80000005u, ::GetSysColor(COLOR_WINDOW)},
        {0x80000008u, ::GetSysColor(COLOR_WINDOWTEXT)},
        {0x80000018u, ::GetSysColor(COLOR_INFOBK)},
        {0x81000005u, 0x81000005u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("written " + Hex(c.written));
        tips_.SetBackColor(c.written);
        EXPECT_EQ(tips_.BackColor(), c.expected) << "back colour";
        EXPECT_EQ(static_cast<COLORREF>(::SendMessageA(tips_.hwnd(), TTM_GETTIPBKCOLOR, 0, 0)), c.expected);
        tips_.SetForeColor(c.written);
        EXPECT_EQ(tips_.ForeColor(), c.expected) << "text colour";
        EXPECT_EQ(static_cast<COLORREF>(::SendMessageA(tips_.hwnd(), TTM_GETTIPTEXTCOLOR, 0, 0)), c.expected);
        EXPECT_EQ(Access::TranslateColor(c.written), c.expected);
    }
}

TEST_F(TooltipsTest, MaxTipWidthRoundTrips) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    for (std::int32_t width : {200, 1, 0, 640, -1}) {
        SCOPED_TRACE("width " + std::to_string(width));
        tips_.SetMaxTipWidth(width);
        EXPECT_EQ(tips_.MaxTipWidth(), width);
        EXPECT_EQ(::SendMessageA(tips_.hwnd(), TTM_GETMAXTIPWIDTH, 0, 0), width);
    }
}

TEST_F(TooltipsTest, EnabledWriteSendsActivate) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    for (bool enabled : {false, true, false}) {
        SCOPED_TRACE(enabled ? "enable" : "disable");
        MessageRecorder recorder(tips_.hwnd());
        tips_.SetEnabled(enabled);
        const auto sent = recorder.Of(TTM_ACTIVATE);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].wParam, enabled ? 1u : 0u);
        EXPECT_EQ(sent[0].lParam, 0);
        EXPECT_EQ(tips_.Enabled(), enabled);
    }
}

TEST_F(TooltipsTest, IconAndTitleTravelTogether) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    struct Step {
        const char* write;
        std::function<void()> apply;
        WPARAM icon;
        const char* title;
    };
    const Step steps[] = {
        {"Icon = TTI_WARNING", [&] { tips_.SetIcon(TTI_WARNING); }, TTI_WARNING, ""},
        {"Title = \" \"", [&] { tips_.SetTitle(L" "); }, TTI_WARNING, " "},
        {"Icon = TTI_ERROR", [&] { tips_.SetIcon(TTI_ERROR); }, TTI_ERROR, " "},
        {"Title = \"Details\"", [&] { tips_.SetTitle(L"Details"); }, TTI_ERROR, "Details"},
        {"Icon = TTI_INFO", [&] { tips_.SetIcon(TTI_INFO); }, TTI_INFO, "Details"},
        {"Icon = 7", [&] { tips_.SetIcon(7); }, 7, "Details"},
        {"Title = \"\"", [&] { tips_.SetTitle(std::wstring()); }, 7, ""},
        {"Icon = TTI_NONE", [&] { tips_.SetIcon(TTI_NONE); }, TTI_NONE, ""},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.write);
        MessageRecorder recorder(tips_.hwnd());
        step.apply();
        const auto sent = recorder.Of(TTM_SETTITLEA);
        ASSERT_EQ(sent.size(), 1u) << "messages sent: " << recorder.All().size();
        EXPECT_EQ(sent[0].wParam, step.icon);
        EXPECT_FALSE(sent[0].textIsNull);
        EXPECT_EQ(sent[0].text, step.title);
        EXPECT_EQ(tips_.Icon(), static_cast<std::int32_t>(step.icon));
        EXPECT_EQ(tips_.Title(), std::wstring(step.title, step.title + std::strlen(step.title)));
    }
}

TEST_F(TooltipsTest, TitleReadsBackFromTheControl) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    tips_.SetIcon(TTI_WARNING);
    tips_.SetTitle(L"Heading");
    wchar_t buffer[64] = L"untouched";
    TTGETTITLE query{};
    query.dwSize = sizeof(query);
    query.pszTitle = buffer;
    query.cch = 64;
    ::SendMessageW(tips_.hwnd(), TTM_GETTITLE, 0, reinterpret_cast<LPARAM>(&query));
    if (std::wstring(buffer) == L"untouched") GTEST_SKIP() << "this tooltip control does not answer TTM_GETTITLE";
    EXPECT_EQ(std::wstring(buffer), L"Heading");
    EXPECT_EQ(query.uTitleBitmap, static_cast<UINT>(TTI_WARNING));
}

// ---------------------------------------------------------------------------
// Sizes and positions

TEST_F(TooltipsTest, TooltipSizeIsTheBubbleSizeHalves) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    tips_.AddTool(label_, 0, L"Label");
    tips_.AddTool(button_, 0, L"A tip with some words");
    tips_.SetMarginLeft(3);
    tips_.SetMarginBottom(5);

    TTTOOLINFOA query{};
    query.cbSize = cTooltips::kToolInfoSize;
    query.hwnd = form();
    query.uId = reinterpret_cast<UINT_PTR>(button_);
    const auto bubble =
        static_cast<std::int32_t>(::SendMessageA(tips_.hwnd(), TTM_GETBUBBLESIZE, 0, reinterpret_cast<LPARAM>(&query)));
    EXPECT_NE(bubble, 0) << "the control reported no size";
    EXPECT_EQ(tips_.GetTooltipWidth(button_), static_cast<std::int16_t>(LOWORD(bubble))) << "bubble " << Hex(bubble);
    EXPECT_EQ(tips_.GetTooltipHeight(button_), static_cast<std::int16_t>(HIWORD(bubble))) << "bubble " << Hex(bubble);
    EXPECT_EQ(tips_.GetTooltipWidth(other_), 0) << "unregistered control";
    EXPECT_EQ(tips_.GetTooltipHeight(other_), 0) << "unregistered control";

    MessageRecorder recorder(tips_.hwnd());
    tips_.GetTooltipWidth(button_);
    const auto sent = recorder.Of(TTM_GETBUBBLESIZE);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].record.uId, reinterpret_cast<UINT_PTR>(button_));
    EXPECT_EQ(sent[0].record.cbSize, cTooltips::kToolInfoSize);
}

class TextExtent {
public:
    explicit TextExtent(HWND tip)
        : dc_(tip), font_(dc_.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(tip, WM_GETFONT, 0, 0))) {}
    HDC dc() const { return dc_.get(); }
    SIZE Of(const std::string& text) const {
        SIZE size{};
        ::GetTextExtentPoint32A(dc_.get(), text.c_str(), static_cast<int>(text.size()), &size);
        return size;
    }

private:
    WindowDC dc_;
    SelectedObject font_;
};

TEST_F(TooltipsTest, TextAndTipSizesConvertBothWays) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    const TextExtent extent(tips_.hwnd());
    ASSERT_NE(extent.dc(), nullptr);
    const char* texts[] = {"W", "A short tip", "A much longer tooltip text with several words in it"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        const std::wstring wide(text, text + std::strlen(text));
        const SIZE size = extent.Of(text);
        ASSERT_GT(size.cx, 0);

        RECT direct{0, 0, size.cx, size.cy};
        ::SendMessageA(tips_.hwnd(), TTM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&direct));
        const std::int32_t tipWidth = tips_.ToolTipWidthFromText(extent.dc(), wide);
        const std::int32_t tipHeight = tips_.ToolTipHeightFromText(extent.dc(), wide);
        EXPECT_EQ(tipWidth, direct.right - direct.left) << "text width " << size.cx;
        EXPECT_EQ(tipHeight, direct.bottom - direct.top) << "text height " << size.cy;
        EXPECT_GE(tipWidth, size.cx);
        EXPECT_GE(tipHeight, size.cy);

        EXPECT_EQ(tips_.TextWidthFromToolTipWidth(extent.dc(), tipWidth), size.cx) << "tip width " << tipWidth;
        EXPECT_EQ(tips_.TextHeightFromToolTipHeight(extent.dc(), tipHeight), size.cy) << "tip height " << tipHeight;
    }
}

TEST_F(TooltipsTest, TipRectIsLargerThanTextRect) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    RECT rect{0, 0, 100, 20};
    const LRESULT answered = ::SendMessageA(tips_.hwnd(), TTM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
    if (answered == 0 && SameRect(rect, RECT{0, 0, 100, 20}))
        GTEST_SKIP() << "this tooltip control does not answer TTM_ADJUSTRECT; conversions keep sizes unchanged";
    const TextExtent extent(tips_.hwnd());
    EXPECT_GT(tips_.TextWidthFromToolTipWidth(extent.dc(), 100), 0);
    EXPECT_LT(tips_.TextWidthFromToolTipWidth(extent.dc(), 100), 100);
    EXPECT_GT(tips_.ToolTipWidthFromText(extent.dc(), L"Some text"), extent.Of("Some text").cx);
}

TEST_F(TooltipsTest, HitTestFindsRegisteredControl) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    tips_.AddTool(button_, 0, L"Button tip");
    tips_.SetToolRect(button_, 0, 0, 40, 20);

    MessageRecorder recorder(tips_.hwnd());
    EXPECT_TRUE(tips_.HitTest(button_, 5, 5)) << "inside the tool rect";
    const auto sent = recorder.Of(TTM_HITTESTA);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].hitTest.hwnd, button_);
    EXPECT_EQ(sent[0].hitTest.pt.x, 5);
    EXPECT_EQ(sent[0].hitTest.pt.y, 5);
    EXPECT_EQ(sent[0].hitTest.ti.cbSize, cTooltips::kToolInfoSize);
    EXPECT_EQ(recorder.Of(TTM_ENUMTOOLSA).size(), 0u) << "hit testing does not look the tool up";

    EXPECT_FALSE(tips_.HitTest(label_, 5, 5)) << "unregistered control";
    EXPECT_FALSE(tips_.HitTest(form(), 5, 5)) << "the container is no tool";
}

TEST_F(TooltipsTest, HitTestHonoursToolRect) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    tips_.AddTool(button_, 0, L"Button tip");
    tips_.SetToolRect(button_, 0, 0, 40, 20);
    ASSERT_TRUE(tips_.HitTest(button_, 5, 5));
    if (tips_.HitTest(button_, 100, 100))
        GTEST_SKIP() << "this tooltip control matches a whole-window tool at any point, ignoring its rect";
    EXPECT_FALSE(tips_.HitTest(button_, 60, 5));
    EXPECT_FALSE(tips_.HitTest(button_, 5, 30));
}

TEST_F(TooltipsTest, TrackingShowsTipAtPosition) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    tips_.AddTool(button_, TTF_TRACK | TTF_ABSOLUTE, L"Tracked tip");
    MessageRecorder recorder(tips_.hwnd());

    tips_.SetTrackPosition(button_, 150, 160);
    const auto positioned = recorder.Of(TTM_TRACKPOSITION);
    ASSERT_EQ(positioned.size(), 1u);
    EXPECT_EQ(positioned[0].wParam, 0u);
    EXPECT_EQ(positioned[0].lParam, MAKELPARAM(150, 160));

    tips_.SetTracking(button_, true);
    const auto activated = recorder.Of(TTM_TRACKACTIVATE);
    ASSERT_EQ(activated.size(), 1u);
    EXPECT_EQ(activated[0].wParam, 1u);
    EXPECT_EQ(activated[0].record.uId, reinterpret_cast<UINT_PTR>(button_));
    EXPECT_EQ(activated[0].record.cbSize, cTooltips::kToolInfoSize);
    EXPECT_TRUE(::IsWindowVisible(tips_.hwnd())) << "tracked tip not shown";
    // The point is the tip's corner: of the window, or of its client area
    // inside the border (Wine widens the text box by the border outwards).
    RECT shown{};
    ::GetWindowRect(tips_.hwnd(), &shown);
    POINT client{0, 0};
    ::ClientToScreen(tips_.hwnd(), &client);
    const bool windowCorner = shown.left == 150 && shown.top == 160;
    const bool clientCorner = client.x == 150 && client.y == 160;
    EXPECT_TRUE(windowCorner || clientCorner) << "window " << Describe(shown) << ", client corner (" << client.x << ","
                                              << client.y << "), expected (150,160)";

    recorder.Clear();
    tips_.SetTracking(button_, false);
    const auto deactivated = recorder.Of(TTM_TRACKACTIVATE);
    ASSERT_EQ(deactivated.size(), 1u);
    EXPECT_EQ(deactivated[0].wParam, 0u);
    EXPECT_FALSE(::IsWindowVisible(tips_.hwnd())) << "tracked tip still shown";
}

TEST_F(TooltipsTest, HideTipsSendsPop) {
    tips_.Create(form(), 0);
    ASSERT_NE(tips_.hwnd(), nullptr);
    MessageRecorder recorder(tips_.hwnd());
    tips_.HideTips();
    const auto sent = recorder.Of(TTM_POP);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].wParam, 0u);
    EXPECT_EQ(sent[0].lParam, 0);
    EXPECT_FALSE(::IsWindowVisible(tips_.hwnd()));
}

// ---------------------------------------------------------------------------
// Words

TEST(TooltipsWords, MakeLongPacksLowAndHighHalves) {
    struct Case {
        std::int32_t low;
        std::int32_t high;
        std::int32_t expected;
    };
    const Case cases[] = {
        {5, 3, 3 * 65536 + 5},
        {65536 + 5, 3, 3 * 65536 + 5},
        {0, 0, 0},
        {-1, 0, 0xFFFF},
        {0, -1, static_cast<std::int32_t>(0xFFFF0000u)},
        {-1, -1, -1},
        {0x8001, 0xFFFF, static_cast<std::int32_t>(0xFFFF8001u)},
        {150, 160, MAKELONG(150, 160)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cTooltips::MakeLong(c.low, c.high), c.expected) << "MakeLong(" << c.low << ", " << c.high << ")";
    }
}

TEST(TooltipsWords, LowAndHighWordsAreSignExtended) {
    struct Case {
        std::uint32_t value;
        std::int32_t low;
        std::int32_t high;
    };
    const Case cases[] = {
        {0xFFFF8001u, -32767, -1}, {0x00030005u, 5, 3},  {0x7FFF7FFFu, 32767, 32767},
        {0x80000000u, 0, -32768},  {0x0000FFFFu, -1, 0}, {0x00000000u, 0, 0},
    };
    for (const Case& c : cases) {
        const auto value = static_cast<std::int32_t>(c.value);
        EXPECT_EQ(Access::LowWord(value), c.low) << "LowWord(" << Hex(c.value) << ")";
        EXPECT_EQ(Access::HighWord(value), c.high) << "HighWord(" << Hex(c.value) << ")";
    }
}

TEST(TooltipsWords, TranslateColorMapsOnlyTheSystemColourTag) {
    struct Case {
        std::uint32_t color;
        COLORREF expected;
    };
    const Case cases[] = {
        {0x80000005u, ::GetSysColor(COLOR_WINDOW)},
        {0x8000000Fu, ::GetSysColor(COLOR_BTNFACE)},
        {0x80000000u, ::GetSysColor(COLOR_SCROLLBAR)},
        {0x81000005u, 0x81000005u},
        {0x7F000005u, 0x7F000005u},
        {0x00FFFFFFu, 0x00FFFFFFu},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Access::TranslateColor(c.color), c.expected) << "TranslateColor(" << Hex(c.color) << ")";
    }
}

}  // namespace
