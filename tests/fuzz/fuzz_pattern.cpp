// Fuzzes the file list's pattern test against a plain recursive matcher.
// Input: "text\npattern" (no newline: the whole input is the pattern, the
// text empty). Short inputs are compared with the reference; longer ones,
// which the recursive matcher would take too long for, only have to finish.

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "repair/PatternMatch.h"
#include "tests/fuzz/FuzzText.h"

namespace {

constexpr size_t kReferenceLimit = 24;

// The pattern language read straight from its description, one position of
// text and pattern at a time.
class Reference {
public:
    Reference(const std::wstring& text, const std::wstring& pattern) : text_(text), pattern_(pattern) {}
    bool Matches() { return Match(0, 0); }

private:
    static bool InList(wchar_t c, const std::wstring& list) {
        size_t i = 0;
        while (i < list.size()) {
            // "x-y" is a range; a "-" that cannot start one stands for itself.
            if (i + 2 < list.size() && list[i + 1] == L'-') {
                if (list[i] <= c && c <= list[i + 2]) return true;
                i += 3;
            } else {
                if (list[i] == c) return true;
                i += 1;
            }
        }
        return false;
    }

    bool Match(size_t t, size_t p) {
        const auto key = std::make_pair(t, p);
        const auto known = memo_.find(key);
        if (known != memo_.end()) return known->second;
        const bool result = Compute(t, p);
        memo_[key] = result;
        return result;
    }

    bool Compute(size_t t, size_t p) {
        if (p == pattern_.size()) return t == text_.size();
        const wchar_t c = pattern_[p];
        const bool haveChar = t < text_.size();
        if (c == L'*') return Match(t, p + 1) || (haveChar && Match(t + 1, p));
        if (c == L'?') return haveChar && Match(t + 1, p + 1);
        if (c == L'#') return haveChar && text_[t] >= L'0' && text_[t] <= L'9' && Match(t + 1, p + 1);
        if (c == L'[') {
            const size_t close = pattern_.find(L']', p + 1);
            if (close != std::wstring::npos) {
                std::wstring list = pattern_.substr(p + 1, close - p - 1);
                if (list.empty()) return Match(t, close + 1);  // "[]" takes no character
                bool negated = false;
                if (list[0] == L'!') {
                    negated = true;
                    list.erase(0, 1);
                }
                return haveChar && InList(text_[t], list) != negated && Match(t + 1, close + 1);
            }
        }
        return haveChar && text_[t] == c && Match(t + 1, p + 1);
    }

    const std::wstring& text_;
    const std::wstring& pattern_;
    std::map<std::pair<size_t, size_t>, bool> memo_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::wstring input = fuzz::Widen(std::string_view(reinterpret_cast<const char*>(data), size));
    const size_t newline = input.find(L'\n');
    const std::wstring text = newline == std::wstring::npos ? std::wstring() : input.substr(0, newline);
    const std::wstring pattern = newline == std::wstring::npos ? input : input.substr(newline + 1);

    const bool found = MatchesPattern(text, pattern);
    if (text.size() <= kReferenceLimit && pattern.size() <= kReferenceLimit) {
        const bool expected = Reference(text, pattern).Matches();
        if (found != expected) {
            fuzz::Fail("text " + fuzz::Show(text) + " pattern " + fuzz::Show(pattern), found ? "match" : "no match",
                       expected ? "match" : "no match");
        }
    }
    // Every text matches "*", and a text matches itself when it holds none
    // of the pattern characters.
    if (!MatchesPattern(text, L"*")) fuzz::Fail("text " + fuzz::Show(text) + " pattern \"*\"", "no match", "match");
    if (text.find_first_of(L"*?#[") == std::wstring::npos && !MatchesPattern(text, text))
        fuzz::Fail("text " + fuzz::Show(text) + " as its own pattern", "no match", "match");
    return 0;
}
