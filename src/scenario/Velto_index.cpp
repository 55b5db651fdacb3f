#include "scenario/Velto_index.h"

#include <algorithm>

#include "scenario/Text_util.h"

namespace scenario {
namespace {

constexpr size_t kMinSlots = 8;

// Takes `part` off the front of `key`. True when the key ends within the
// part (what came so far begins with the key), false when they differ;
// nullopt when the key goes on past the part.
std::optional<bool> TakePart(std::string_view& key, std::string_view part) {
    if (key.size() <= part.size()) return part.compare(0, key.size(), key) == 0;
    if (key.compare(0, part.size(), part) != 0) return false;
    key.remove_prefix(part.size());
    return std::nullopt;
}

}  // namespace

void HashSlots::Reset(size_t count) {
    slots_.clear();
    used_ = 0;
    if (count == 0) return;
    size_t size = kMinSlots;
    while (size < count * 2) size *= 2;
    slots_.resize(size);
}

void HashSlots::Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(std::max(kMinSlots, old.size() * 2), Slot{});
    for (const Slot& slot : old) {
        if (slot.value != 0) Place(slot);
    }
}

void HashSlots::Place(Slot slot) {
    size_t mask = slots_.size() - 1;
    size_t i = slot.tag & mask;
    while (slots_[i].value != 0) i = (i + 1) & mask;
    slots_[i] = slot;
}

void TBlockIndex::Clear() {
    entries_.clear();
    names_.clear();
    nameBytes_.clear();
    table_.Reset(0);
    AddName("");
}

uint32_t TBlockIndex::AddName(std::string_view name) {
    uint32_t colon = static_cast<uint32_t>(std::min(name.find(':'), name.size()));
    uint32_t slash = static_cast<uint32_t>(std::min(name.find('/'), name.size()));
    names_.push_back({static_cast<uint32_t>(nameBytes_.size()), static_cast<uint32_t>(name.size()),
                      colon, slash, HashText(name.substr(0, colon))});
    nameBytes_.append(name);
    return static_cast<uint32_t>(names_.size() - 1);
}

void TBlockIndex::Add(Kind kind, uint32_t first, uint32_t page, int32_t start, int32_t end) {
    entries_.push_back({first, page, start, end, LookupHash(kind, first, page), kind});
}

void TBlockIndex::Finish() {
    // The index lives as long as the document: no room kept for growth.
    entries_.shrink_to_fit();
    names_.shrink_to_fit();
    nameBytes_.shrink_to_fit();
    table_.Reset(entries_.size());
    for (size_t position = 0; position < entries_.size(); ++position) {
        uint64_t hash = entries_[position].hash;
        // Only hashes are compared here: a key of the same hash that is not
        // the same key is told apart when it is looked up.
        table_.AddFirst(hash, static_cast<uint32_t>(position),
                        [&](uint32_t other) { return entries_[other].hash == hash; });
    }
}

std::string_view TBlockIndex::NameText(uint32_t name) const {
    return std::string_view(nameBytes_).substr(names_[name].offset, names_[name].length);
}

std::string_view TBlockIndex::Separator(const Entry& entry) const {
    return entry.kind == Kind::kBook ? "" : "/";
}

std::string_view TBlockIndex::PageName(const Entry& entry) const {
    return entry.kind == Kind::kPage ? NameText(entry.page) : "";
}

// Of "NAME/:", "NAME:" or "BOOK/PAGE:".
size_t TBlockIndex::KeyLength(const Entry& entry) const {
    return names_[entry.first].length + Separator(entry).size() + PageName(entry).size() + 1;
}

std::string TBlockIndex::Text(size_t position) const {
    const Entry& entry = entries_[position];
    std::string text(NameText(entry.first));
    text.append(Separator(entry)).append(PageName(entry)).append(":");
    return text + IntToText(entry.start) + "," + IntToText(entry.end);
}

// A name with a ":" ends the text hashed inside it.
uint64_t TBlockIndex::LookupHash(Kind kind, uint32_t first, uint32_t page) const {
    const Name& name = names_[first];
    uint64_t hash = name.hashToColon;
    if (name.colon == name.length && kind != Kind::kBook) {
        hash = HashText("/", hash);
        if (kind == Kind::kPage) {
            hash = HashText(NameText(page).substr(0, names_[page].colon), hash);
        }
    }
    return HashText(":", hash);
}

bool TBlockIndex::StartsWith(const Entry& entry, std::string_view key) const {
    std::optional<bool> inFirst = TakePart(key, NameText(entry.first));
    return inFirst ? *inFirst : RestStartsWith(entry, key);
}

// Whether the entry's text after its first name begins with `rest`.
bool TBlockIndex::RestStartsWith(const Entry& entry, std::string_view rest) const {
    for (std::string_view part : {Separator(entry), PageName(entry), std::string_view(":")}) {
        if (std::optional<bool> ended = TakePart(rest, part)) return *ended;
    }
    std::string numbers = IntToText(entry.start) + "," + IntToText(entry.end);
    return std::string_view(numbers).starts_with(rest);
}

size_t TBlockIndex::Find(std::string_view key) const {
    if (!key.empty() && key.find(':') == key.size() - 1) {
        // Such a key matches exactly the entries whose text up to its first
        // ":" is the key.
        uint64_t hash = HashText(key);
        int64_t found = table_.Find(hash, [&](uint32_t p) { return entries_[p].hash == hash; });
        if (found < 0) return npos;
        if (StartsWith(entries_[found], key)) return static_cast<size_t>(found);
    }
    return FindInOrder(key);
}

size_t TBlockIndex::FindInOrder(std::string_view key) const {
    // The pages of a book follow one another and share its name, which is
    // compared once for them all.
    uint32_t first = 0;
    std::optional<bool> inFirst;
    std::string_view rest;
    for (size_t position = 0; position < entries_.size(); ++position) {
        const Entry& entry = entries_[position];
        if (position == 0 || entry.first != first) {
            first = entry.first;
            rest = key;
            inFirst = TakePart(rest, NameText(first));
        }
        if (inFirst ? *inFirst : RestStartsWith(entry, rest)) return position;
    }
    return npos;
}

bool TBlockIndex::Range(size_t position, std::string_view key, int32_t& start, int32_t& end) const {
    const Entry& entry = entries_[position];
    if (key.size() == KeyLength(entry)) {
        start = entry.start;
        end = entry.end;
        return true;
    }
    // The key ends inside a name that holds a ":", or inside the numbers.
    std::string text = Text(position);
    std::string_view rest = std::string_view(text).substr(key.size());
    if (rest.empty()) return false;
    size_t comma = rest.find(',');
    auto first = ParseInt(rest.substr(0, comma));
    auto last = ParseInt(comma == std::string_view::npos ? "" : rest.substr(comma + 1));
    if (!first || !last) return false;
    start = *first;
    end = *last;
    return true;
}

std::optional<std::string_view> TBlockIndex::ListedName(size_t position) const {
    const Entry& entry = entries_[position];
    const Name& name = names_[entry.first];
    std::string_view text = NameText(entry.first);
    if (name.colon < name.length) {
        if (name.slash < name.colon) return std::nullopt;
        return text.substr(0, name.colon);
    }
    // A head or a page has a "/" before its ":".
    if (entry.kind != Kind::kBook || name.slash < name.length) return std::nullopt;
    return text;
}

}  // namespace scenario
