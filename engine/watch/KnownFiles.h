// The files a watch has a result for, by their path below the watched folder, with the size
// and modification time they had: a file whose size or time differs is another file (one
// replaced under the same name) and is converted again. A watched folder may hold a hundred
// thousand files for months, so the table is kept small: every name once in one block of text,
// each entry 24 bytes, sorted by name but for the few most recent, which are merged in once
// there are a few hundred of them (or before a full look through the folder, Merge).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace palomix {

class KnownFiles {
public:
    enum class Result : std::uint8_t {
        Done,     // converted
        Failed,   // did not convert; listed until the user tries it again
        Stopped,  // stopped by the user; listed as the failed ones are
        Skipped,  // left out on purpose (an output that exists, a type the command does not take)
        Removed,  // the user took it out of the job list
        Output,   // an output of this program: never taken
    };
    struct Entry {
        std::int64_t size = 0;
        std::int64_t modifiedNs = 0;
        Result result = Result::Done;
        // The day (counted from 1970-01-01) a full look through the folder last missed the
        // file, 0 while it is there.
        std::uint16_t goneDay = 0;

        bool SameFile(std::int64_t otherSize, std::int64_t otherModifiedNs) const {
            return size == otherSize && modifiedNs == otherModifiedNs;
        }
        friend bool operator==(const Entry&, const Entry&) = default;
    };

    std::optional<Entry> Find(std::string_view name) const;
    // Puts an entry in, or replaces the one of that name.
    void Set(std::string_view name, const Entry& entry);
    bool Erase(std::string_view name);
    std::size_t Count() const { return slots_.size(); }

    // Many at once (a record read from its file): appended without order, then sorted once;
    // of the entries of one name the last appended counts.
    void Append(std::string_view name, const Entry& entry);
    void Sort();
    // The recent entries merged into the sorted ones, so that every look-up is a binary search.
    void Merge();

    void ForEach(const std::function<void(std::string_view name, const Entry& entry)>& visit) const;

    // A full look through the folder: every entry unmarked, those found marked (Find's answer
    // of a marked one), then the ones left unmarked handed over, to be changed in place.
    void ClearMarks();
    std::optional<Entry> FindAndMark(std::string_view name);
    void ForEachUnmarked(const std::function<void(std::string_view name, Entry& entry)>& visit);

    // The bytes the table holds (its memory, not counting the allocator's own).
    std::size_t MemoryBytes() const;

private:
    struct Slot {
        std::uint32_t name = 0;  // offset of the NUL-ended name in names_
        Result result = Result::Done;
        std::uint8_t mark = 0;
        std::uint16_t goneDay = 0;
        std::int64_t size = 0;
        std::int64_t modifiedNs = 0;
    };
    static_assert(sizeof(Slot) == 24);

    std::string_view NameOf(const Slot& slot) const;
    std::uint32_t AddName(std::string_view name);
    // The entry of the name, sorted or recent; nullptr for none.
    Slot* Locate(std::string_view name);
    const Slot* Locate(std::string_view name) const;
    static Entry EntryOf(const Slot& slot);
    static void Fill(Slot& slot, const Entry& entry);
    // Writes the names anew without the ones no entry uses any more.
    void PackNames();

    // The most recent entries not merged yet.
    static constexpr std::size_t kMostRecent = 256;
    std::vector<Slot> slots_;  // sorted by name up to sorted_, then the recent ones
    std::size_t sorted_ = 0;
    std::string names_;
    std::size_t unusedNameBytes_ = 0;
};

}  // namespace palomix
