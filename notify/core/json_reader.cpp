#include "json_reader.h"

#include <cstring>
#include <set>
#include <utility>

#include "base/core/utf8.h"

namespace mrwd {
namespace {

constexpr std::size_t kLongestText = 64 * 1024;
constexpr int kDeepestNesting = 32;

// A recursive descent over the text; the nesting limit bounds the recursion.
class Reader {
public:
    explicit Reader(const std::string& text) : text_(text) {}
    bool TopObject(JsonMembers& members);

private:
    bool AtEnd() const { return pos_ >= text_.size(); }
    unsigned char Peek() const { return static_cast<unsigned char>(text_[pos_]); }
    void SkipBlanks();
    // Skips blanks, then takes `c` if it comes next.
    bool Take(char c);
    bool Literal(const char* word);
    std::size_t Digits();
    bool StartsNumber() const { return !AtEnd() && (Peek() == '-' || (Peek() >= '0' && Peek() <= '9')); }
    bool Number(std::string& out);
    bool String(std::string& out);
    bool Escape(std::string& out);
    bool Hex4(std::uint32_t& value);
    bool Utf8Sequence(std::string& out);
    // A value inside a container at `depth`, checked and dropped.
    bool Value(int depth);
    bool Array(int depth);
    // `members` only for the top-level object.
    bool Object(int depth, JsonMembers* members);
    bool TopMember(const std::string& name, JsonMembers& members);

    const std::string& text_;
    std::size_t pos_ = 0;
    std::set<std::string> topNames_;
};

void Reader::SkipBlanks() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) ++pos_;
}

bool Reader::Take(char c) {
    SkipBlanks();
    if (AtEnd() || Peek() != static_cast<unsigned char>(c)) return false;
    ++pos_;
    return true;
}

bool Reader::Literal(const char* word) {
    const std::size_t length = std::strlen(word);
    if (text_.compare(pos_, length, word) != 0) return false;
    pos_ += length;
    return true;
}

std::size_t Reader::Digits() {
    const std::size_t start = pos_;
    while (!AtEnd() && Peek() >= '0' && Peek() <= '9') ++pos_;
    return pos_ - start;
}

bool Reader::Number(std::string& out) {
    const std::size_t start = pos_;
    if (Peek() == '-') ++pos_;
    if (AtEnd()) return false;
    if (Peek() == '0') {
        ++pos_;  // no further digits may follow a leading zero; the caller sees them as garbage
    } else if (Digits() == 0) {
        return false;
    }
    if (!AtEnd() && Peek() == '.') {
        ++pos_;
        if (Digits() == 0) return false;
    }
    if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
        ++pos_;
        if (!AtEnd() && (Peek() == '+' || Peek() == '-')) ++pos_;
        if (Digits() == 0) return false;
    }
    out.assign(text_, start, pos_ - start);
    return true;
}

bool Reader::String(std::string& out) {
    ++pos_;  // the opening quote
    while (!AtEnd()) {
        const unsigned char c = Peek();
        if (c == '"') {
            ++pos_;
            return true;
        }
        if (c < 0x20) return false;
        if (c == '\\') {
            if (!Escape(out)) return false;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++pos_;
        } else if (!Utf8Sequence(out)) {
            return false;
        }
    }
    return false;
}

bool Reader::Hex4(std::uint32_t& value) {
    if (text_.size() - pos_ < 4) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) {
        const unsigned char c = Peek();
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return false;
        value = value * 16 + static_cast<std::uint32_t>(digit);
        ++pos_;
    }
    return true;
}

bool Reader::Escape(std::string& out) {
    ++pos_;  // the backslash
    if (AtEnd()) return false;
    const char c = static_cast<char>(Peek());
    ++pos_;
    switch (c) {
        case '"': out += '"'; return true;
        case '\\': out += '\\'; return true;
        case '/': out += '/'; return true;
        case 'b': out += '\b'; return true;
        case 'f': out += '\f'; return true;
        case 'n': out += '\n'; return true;
        case 'r': out += '\r'; return true;
        case 't': out += '\t'; return true;
        case 'u': break;
        default: return false;
    }
    std::uint32_t code = 0;
    if (!Hex4(code)) return false;
    if (code >= 0xDC00 && code <= 0xDFFF) return false;  // a low surrogate with no high one before it
    if (code >= 0xD800 && code <= 0xDBFF) {
        std::uint32_t low = 0;
        if (!Literal("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(code, out);
    return true;
}

// Raw UTF-8 in a string must be well-formed: no overlong forms, no
// surrogates, nothing past U+10FFFF.
bool Reader::Utf8Sequence(std::string& out) {
    const unsigned char lead = Peek();
    // C0, C1 and F5 to FF never lead a well-formed sequence.
    const std::size_t continuations = lead >= 0xC2 && lead <= 0xDF ? 1
                                      : lead >= 0xE0 && lead <= 0xEF ? 2
                                      : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                                     : 0;
    if (continuations == 0) return false;
    static const std::uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    std::uint32_t code = lead & (0x3Fu >> continuations);
    if (text_.size() - pos_ <= continuations) return false;
    for (std::size_t i = 1; i <= continuations; ++i) {
        const unsigned char c = static_cast<unsigned char>(text_[pos_ + i]);
        if ((c & 0xC0) != 0x80) return false;
        code = (code << 6) | (c & 0x3F);
    }
    if (code < kLeast[continuations] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    out.append(text_, pos_, continuations + 1);
    pos_ += continuations + 1;
    return true;
}

bool Reader::Value(int depth) {
    SkipBlanks();
    if (AtEnd()) return false;
    std::string dropped;
    switch (Peek()) {
        case '{': return Object(depth + 1, nullptr);
        case '[': return Array(depth + 1);
        case '"': return String(dropped);
        default: break;
    }
    if (StartsNumber()) return Number(dropped);
    return Literal("true") || Literal("false") || Literal("null");
}

bool Reader::Array(int depth) {
    if (depth > kDeepestNesting) return false;
    ++pos_;  // '['
    if (Take(']')) return true;
    for (;;) {
        if (!Value(depth)) return false;
        if (Take(',')) continue;
        return Take(']');
    }
}

bool Reader::TopMember(const std::string& name, JsonMembers& members) {
    if (!topNames_.insert(name).second) return false;
    SkipBlanks();
    JsonMember member;
    if (!AtEnd() && Peek() == '"') {
        if (!String(member.text)) return false;
    } else if (StartsNumber()) {
        member.kind = JsonKind::Number;
        if (!Number(member.text)) return false;
    } else {
        return Value(1);
    }
    members.emplace(name, std::move(member));
    return true;
}

bool Reader::Object(int depth, JsonMembers* members) {
    if (depth > kDeepestNesting) return false;
    ++pos_;  // '{'
    if (Take('}')) return true;
    for (;;) {
        SkipBlanks();
        std::string name;
        if (AtEnd() || Peek() != '"' || !String(name) || !Take(':')) return false;
        if (!(members != nullptr ? TopMember(name, *members) : Value(depth))) return false;
        if (Take(',')) continue;
        return Take('}');
    }
}

bool Reader::TopObject(JsonMembers& members) {
    if (text_.size() > kLongestText) return false;
    SkipBlanks();
    if (AtEnd() || Peek() != '{') return false;
    if (!Object(1, &members)) return false;
    SkipBlanks();
    return AtEnd();
}

}  // namespace

bool ReadJsonObject(const std::string& text, JsonMembers& members) {
    JsonMembers read;
    members.clear();
    if (!Reader(text).TopObject(read)) return false;
    members = std::move(read);
    return true;
}

bool ReadJsonObject(const std::string& text, std::map<std::string, std::string>& members) {
    JsonMembers read;
    members.clear();
    if (!ReadJsonObject(text, read)) return false;
    for (auto& member : read) members.emplace(member.first, std::move(member.second.text));
    return true;
}

bool JsonUnsigned(const std::string& text, std::uint64_t& value) {
    if (text.empty()) return false;
    std::uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (result > (UINT64_MAX - digit) / 10) return false;
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

}  // namespace mrwd
