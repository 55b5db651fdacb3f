#include "scenario/Text_util.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <functional>
#include <stdexcept>

#include "platform/ascii.h"
#include "platform/cp932.h"
#include "platform/random.h"

namespace scenario {

namespace {

// Offsets into a LineList's buffer are 32-bit.
constexpr size_t kMaxListBytes = UINT32_MAX;
// Below this, unused bytes of a LineList are left alone: reclaiming them
// would cost more than they do.
constexpr size_t kCompactAtBytes = 64 * 1024;

// Calls `onLine` (begin, end) for each line of `text`, as SplitLines splits.
template <typename OnLine>
void ForEachLine(std::string_view text, OnLine onLine) {
    size_t end = std::min(text.find('\0'), text.size());
    size_t p = 0;
    while (p < end) {
        size_t lineEnd = p;
        while (lineEnd < end && text[lineEnd] != '\n' && text[lineEnd] != '\r') ++lineEnd;
        onLine(p, lineEnd);
        p = lineEnd;
        if (p < end && text[p++] == '\r' && p < end && text[p] == '\n') ++p;
    }
}

bool Contains(const std::string& buffer, const char* p) {
    return std::greater_equal<const char*>()(p, buffer.data()) &&
           std::less<const char*>()(p, buffer.data() + buffer.size());
}

template <typename Lines>
std::optional<size_t> KeyLine(const Lines& lines, std::string_view key) {
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        size_t eq = line.find('=');
        if (eq != std::string_view::npos && SameTextIgnoreCase(line.substr(0, eq), key)) return i;
    }
    return std::nullopt;
}

}  // namespace

StringList SplitLines(std::string_view text) {
    StringList lines;
    lines.reserve(std::count(text.begin(), text.end(), '\n') + 1);
    ForEachLine(text, [&](size_t begin, size_t end) {
        lines.emplace_back(text.substr(begin, end - begin));
    });
    return lines;
}

LineList::LineList(std::initializer_list<std::string_view> lines) {
    spans_.reserve(lines.size());
    for (std::string_view line : lines) push_back(line);
}

bool LineList::AssignText(std::string text, size_t maxLines) {
    clear();
    size_t count = 0;
    ForEachLine(text, [&](size_t, size_t) { ++count; });
    if (count > maxLines || text.size() > kMaxListBytes) return false;
    spans_.reserve(count);
    size_t used = 0;
    ForEachLine(text, [&](size_t begin, size_t end) {
        spans_.push_back({static_cast<uint32_t>(begin), static_cast<uint32_t>(end - begin)});
        used += end - begin;
    });
    // The text becomes the buffer; its line breaks are the unused bytes.
    buffer_ = std::move(text);
    unused_ = buffer_.size() - used;
    CompactIfWasteful();
    return true;
}

void LineList::clear() {
    buffer_.clear();
    spans_.clear();
    unused_ = 0;
}

void LineList::push_back(std::string_view line) {
    spans_.push_back(Store(line));
}

void LineList::insert(size_t index, std::string_view line) {
    spans_.insert(spans_.begin() + index, Store(line));
}

void LineList::replace(size_t index, std::string_view line) {
    Span& span = spans_[index];
    if (line.size() <= span.length) {
        std::memmove(buffer_.data() + span.offset, line.data(), line.size());
        unused_ += span.length - line.size();
        span.length = static_cast<uint32_t>(line.size());
        return;
    }
    unused_ += span.length;
    span.length = 0;  // so that a compaction in Store drops the old text
    spans_[index] = Store(line);
    CompactIfWasteful();
}

LineList::Span LineList::Store(std::string_view line) {
    // A line of this list would move with the buffer.
    if (!line.empty() && Contains(buffer_, line.data())) return Store(std::string(line));
    if (line.size() > kMaxListBytes - buffer_.size()) {
        Compact();
        // 4 GiB of lines in use: more than memory would hold anyway.
        if (line.size() > kMaxListBytes - buffer_.size()) throw std::length_error("LineList");
    }
    Span span{static_cast<uint32_t>(buffer_.size()), static_cast<uint32_t>(line.size())};
    buffer_.append(line);
    return span;
}

void LineList::CompactIfWasteful() {
    if (unused_ > kCompactAtBytes && unused_ > buffer_.size() / 2) Compact();
}

void LineList::Compact() {
    std::string packed;
    packed.reserve(buffer_.size() - unused_);
    for (Span& span : spans_) {
        uint32_t offset = static_cast<uint32_t>(packed.size());
        packed.append(buffer_, span.offset, span.length);
        span.offset = offset;
    }
    buffer_ = std::move(packed);
    unused_ = 0;
}

bool operator==(const LineList& a, const LineList& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

bool operator==(const LineList& lines, const StringList& strings) {
    return std::equal(lines.begin(), lines.end(), strings.begin(), strings.end());
}

std::string_view Trim(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
    return text.substr(begin, end - begin);
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<int32_t> ParseHex(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : digits) {
        int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        value = value * 16 + d;
        // A value, not a bit pattern: "$FFFFFFFF" is too large, not -1.
        if (value > INT32_MAX) return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

std::optional<int32_t> ParseDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > int64_t{1} << 31) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    return static_cast<int32_t>(value);
}

}  // namespace

std::optional<int32_t> ParseInt(std::string_view text) {
    while (!text.empty() && text[0] == ' ') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    if (text[0] == '$' || text[0] == 'x' || text[0] == 'X') return ParseHex(text.substr(1));
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return ParseHex(text.substr(2));
    }
    return ParseDecimal(text);
}

std::string IntToText(int32_t value) {
    char buffer[16];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

size_t FindText(std::string_view text, std::string_view needle) {
    for (size_t i = 0; i + needle.size() <= text.size();) {
        if (text.compare(i, needle.size(), needle) == 0) return i;
        i += platform::Cp932CharLength(text.substr(i));
    }
    return std::string_view::npos;
}

bool SameTextIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size();) {
        size_t length = platform::Cp932CharLength(a.substr(i));
        // A two-byte character matches only itself: its trail byte may look
        // like an ASCII letter.
        if (length == 2 && a.compare(i, 2, b, i, 2) != 0) return false;
        if (length == 1 && platform::AsciiLower(a[i]) != platform::AsciiLower(b[i])) return false;
        i += length;
    }
    return true;
}

const std::string* FindKeyIgnoreCase(const StringList& lines, std::string_view key,
                                     size_t* position) {
    std::optional<size_t> found = KeyLine(lines, key);
    if (!found) return nullptr;
    if (position) *position = *found;
    return &lines[*found];
}

std::optional<std::string_view> FindKeyIgnoreCase(const LineList& lines, std::string_view key) {
    std::optional<size_t> found = KeyLine(lines, key);
    if (!found) return std::nullopt;
    return lines[*found];
}

uint64_t TextHashStart() {
    static const uint64_t start = platform::SecretRandom64();
    return start;
}

uint64_t HashText(std::string_view text, uint64_t hash) {
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace scenario
