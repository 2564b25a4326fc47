#include "engine/watch/KnownFiles.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

namespace palomix {

std::string_view KnownFiles::NameOf(const Slot& slot) const {
    return std::string_view(names_.data() + slot.name);
}

std::uint32_t KnownFiles::AddName(std::string_view name) {
    if (names_.size() + name.size() + 1 > std::numeric_limits<std::uint32_t>::max()) {
        PackNames();
        if (names_.size() + name.size() + 1 > std::numeric_limits<std::uint32_t>::max()) {
            throw std::length_error("a watch's record holds too many names");
        }
    }
    const auto offset = static_cast<std::uint32_t>(names_.size());
    names_.append(name);
    names_.push_back('\0');
    return offset;
}

const KnownFiles::Slot* KnownFiles::Locate(std::string_view name) const {
    const auto sortedEnd = slots_.begin() + static_cast<std::ptrdiff_t>(sorted_);
    const auto found = std::lower_bound(
        slots_.begin(), sortedEnd, name,
        [this](const Slot& slot, std::string_view wanted) { return NameOf(slot) < wanted; });
    if (found != sortedEnd && NameOf(*found) == name) {
        return &*found;
    }
    const auto recent = std::find_if(sortedEnd, slots_.end(),
                                     [&](const Slot& slot) { return NameOf(slot) == name; });
    return recent == slots_.end() ? nullptr : &*recent;
}

KnownFiles::Slot* KnownFiles::Locate(std::string_view name) {
    return const_cast<Slot*>(std::as_const(*this).Locate(name));
}

KnownFiles::Entry KnownFiles::EntryOf(const Slot& slot) {
    return Entry{slot.size, slot.modifiedNs, slot.result, slot.goneDay};
}

void KnownFiles::Fill(Slot& slot, const Entry& entry) {
    slot.size = entry.size;
    slot.modifiedNs = entry.modifiedNs;
    slot.result = entry.result;
    slot.goneDay = entry.goneDay;
}

std::optional<KnownFiles::Entry> KnownFiles::Find(std::string_view name) const {
    const Slot* slot = Locate(name);
    return slot == nullptr ? std::nullopt : std::optional<Entry>(EntryOf(*slot));
}

void KnownFiles::Set(std::string_view name, const Entry& entry) {
    if (Slot* slot = Locate(name)) {
        Fill(*slot, entry);
        return;
    }
    Slot slot;
    slot.name = AddName(name);
    Fill(slot, entry);
    slots_.push_back(slot);
    if (slots_.size() - sorted_ > kMostRecent) {
        Merge();
    }
}

bool KnownFiles::Erase(std::string_view name) {
    Slot* slot = Locate(name);
    if (slot == nullptr) {
        return false;
    }
    const auto at = slot - slots_.data();
    if (static_cast<std::size_t>(at) < sorted_) {
        --sorted_;
    }
    unusedNameBytes_ += name.size() + 1;
    slots_.erase(slots_.begin() + at);
    if (unusedNameBytes_ > names_.size() / 2 + 4096) {
        PackNames();
    }
    return true;
}

void KnownFiles::Merge() {
    const auto less = [this](const Slot& a, const Slot& b) { return NameOf(a) < NameOf(b); };
    const auto middle = slots_.begin() + static_cast<std::ptrdiff_t>(sorted_);
    std::sort(middle, slots_.end(), less);
    std::inplace_merge(slots_.begin(), middle, slots_.end(), less);
    sorted_ = slots_.size();
}

void KnownFiles::Append(std::string_view name, const Entry& entry) {
    Slot slot;
    slot.name = AddName(name);
    Fill(slot, entry);
    slots_.push_back(slot);
}

void KnownFiles::Sort() {
    std::stable_sort(slots_.begin(), slots_.end(),
                     [this](const Slot& a, const Slot& b) { return NameOf(a) < NameOf(b); });
    // Of equal names the last appended stands last: it is kept.
    std::vector<Slot> kept;
    kept.reserve(slots_.size());
    for (std::size_t index = 0; index < slots_.size(); ++index) {
        if (index + 1 < slots_.size() && NameOf(slots_[index]) == NameOf(slots_[index + 1])) {
            unusedNameBytes_ += NameOf(slots_[index]).size() + 1;
            continue;
        }
        kept.push_back(slots_[index]);
    }
    slots_ = std::move(kept);
    sorted_ = slots_.size();
    PackNames();
}

void KnownFiles::PackNames() {
    std::string packed;
    packed.reserve(names_.size() - std::min(unusedNameBytes_, names_.size()));
    for (Slot& slot : slots_) {
        const std::string_view name = NameOf(slot);
        slot.name = static_cast<std::uint32_t>(packed.size());
        packed.append(name);
        packed.push_back('\0');
    }
    names_ = std::move(packed);
    unusedNameBytes_ = 0;
    slots_.shrink_to_fit();
}

void KnownFiles::ForEach(
    const std::function<void(std::string_view name, const Entry& entry)>& visit) const {
    for (const Slot& slot : slots_) {
        visit(NameOf(slot), EntryOf(slot));
    }
}

void KnownFiles::ClearMarks() {
    for (Slot& slot : slots_) {
        slot.mark = 0;
    }
}

std::optional<KnownFiles::Entry> KnownFiles::FindAndMark(std::string_view name) {
    Slot* slot = Locate(name);
    if (slot == nullptr) {
        return std::nullopt;
    }
    slot->mark = 1;
    return EntryOf(*slot);
}

void KnownFiles::ForEachUnmarked(
    const std::function<void(std::string_view name, Entry& entry)>& visit) {
    for (Slot& slot : slots_) {
        if (slot.mark != 0) {
            continue;
        }
        Entry entry = EntryOf(slot);
        visit(NameOf(slot), entry);
        Fill(slot, entry);
    }
}

std::size_t KnownFiles::MemoryBytes() const {
    return slots_.capacity() * sizeof(Slot) + names_.capacity();
}

}  // namespace palomix
