#include "repair/PatternMatch.h"

#include <vector>

namespace {

// One element of a compiled pattern.
struct Token {
    enum class Kind { Literal, AnyRun, AnyOne, Digit, Set, Empty };
    explicit Token(Kind k) : kind(k) {}
    Kind kind;
    wchar_t literal = 0;
    std::wstring_view set;  // the list between the brackets, without "!"
    bool negated = false;
};

bool InSet(wchar_t c, std::wstring_view set) {
    for (size_t i = 0; i < set.size(); ++i) {
        // "a-z" is a range; a "-" first or last stands for itself.
        if (i + 2 < set.size() && set[i + 1] == L'-') {
            if (set[i] <= c && c <= set[i + 2]) return true;
            i += 2;
        } else if (set[i] == c) {
            return true;
        }
    }
    return false;
}

std::vector<Token> Compile(std::wstring_view pattern) {
    std::vector<Token> tokens;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t c = pattern[i];
        if (c == L'*') {
            tokens.emplace_back(Token::Kind::AnyRun);
        } else if (c == L'?') {
            tokens.emplace_back(Token::Kind::AnyOne);
        } else if (c == L'#') {
            tokens.emplace_back(Token::Kind::Digit);
        } else if (c == L'[' && pattern.find(L']', i + 1) != std::wstring_view::npos) {
            const size_t close = pattern.find(L']', i + 1);
            std::wstring_view list = pattern.substr(i + 1, close - i - 1);
            Token token(list.empty() ? Token::Kind::Empty : Token::Kind::Set);
            if (!list.empty() && list[0] == L'!') {
                token.negated = true;
                list.remove_prefix(1);
            }
            token.set = list;
            tokens.push_back(token);
            i = close;
        } else {
            Token token(Token::Kind::Literal);
            token.literal = c;
            tokens.push_back(token);
        }
    }
    return tokens;
}

bool MatchesOne(const Token& token, wchar_t c) {
    switch (token.kind) {
        case Token::Kind::Literal:
            return c == token.literal;
        case Token::Kind::AnyOne:
            return true;
        case Token::Kind::Digit:
            return c >= L'0' && c <= L'9';
        case Token::Kind::Set:
            return InSet(c, token.set) != token.negated;
        default:
            return false;
    }
}

}  // namespace

bool MatchesPattern(std::wstring_view text, std::wstring_view pattern) {
    const std::vector<Token> tokens = Compile(pattern);
    // Greedy walk that backtracks to the most recent "*" on a mismatch; linear
    // enough for any pattern, with no recursion to exhaust the stack.
    size_t t = 0, p = 0;
    size_t starToken = std::vector<Token>::size_type(-1), starText = 0;
    while (t < text.size() || p < tokens.size()) {
        if (p < tokens.size()) {
            const Token& token = tokens[p];
            if (token.kind == Token::Kind::AnyRun) {
                starToken = p++;
                starText = t;
                continue;
            }
            if (token.kind == Token::Kind::Empty) {
                ++p;
                continue;
            }
            if (t < text.size() && MatchesOne(token, text[t])) {
                ++p;
                ++t;
                continue;
            }
        }
        if (starToken != std::vector<Token>::size_type(-1) && starText < text.size()) {
            p = starToken + 1;
            t = ++starText;
            continue;
        }
        return false;
    }
    return true;
}
