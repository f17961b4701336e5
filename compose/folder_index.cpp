#include "compose/folder_index.h"

#include <cstdlib>
#include <cstring>
#include <new>

IndexLines::IndexLines(size_t fieldLimit)
    : field_(new (std::nothrow) char[fieldLimit > 0 ? fieldLimit : 1]), limit_(fieldLimit) {}

IndexLines::~IndexLines() {
    delete[] field_;
}

void IndexLines::Reset() {
    length_ = 0;
    heldReturns_ = 0;
    firstLine_ = true;
    lineStart_ = true;
    fields_ = 1;
    inFourth_ = false;
    tooLong_ = false;
}

void IndexLines::Append(char c) {
    if (length_ + 1 >= limit_) {
        tooLong_ = true;
        return;
    }
    field_[length_++] = c;
}

void IndexLines::AppendHeldReturns() {
    if (heldReturns_ > 0 && length_ + heldReturns_ >= limit_) {
        tooLong_ = true;
    } else {
        memset(field_ + length_, '\r', heldReturns_);
        length_ += heldReturns_;
    }
    heldReturns_ = 0;
}

void IndexLines::EndLine() {
    firstLine_ = false;
    lineStart_ = true;
    fields_ = 1;
    inFourth_ = false;
}

bool IndexLines::Step(char c, Sink* sink) {
    if (c == '\n') {
        // Carriage returns still held are the line end's.
        const bool stop = !firstLine_ && inFourth_ && !tooLong_ && sink->Take(field_, length_);
        EndLine();
        return stop;
    }
    lineStart_ = false;
    if (firstLine_ || fields_ > 4) {
        return false;
    }
    if (c == '\x01') {
        if (inFourth_) {
            // The field ends before the line does: its carriage returns are its own.
            inFourth_ = false;
            ++fields_;
            AppendHeldReturns();
            return !tooLong_ && sink->Take(field_, length_);
        }
        if (++fields_ == 4) {
            inFourth_ = true;
            length_ = 0;
            heldReturns_ = 0;
            tooLong_ = false;
        }
        return false;
    }
    if (inFourth_ && !tooLong_) {
        if (c == '\r') {
            ++heldReturns_;
        } else {
            AppendHeldReturns();
            Append(c);
        }
    }
    return false;
}

bool IndexLines::TakeLine(const char* line, size_t size, Sink* sink) const {
    const char* at = line;
    const char* const end = line + size;
    // The fourth field begins after the third separator, whatever the fields before it hold.
    for (int field = 1; field < 4; ++field) {
        const char* separator =
            static_cast<const char*>(memchr(at, '\x01', static_cast<size_t>(end - at)));
        if (separator == nullptr) {
            return false;
        }
        at = separator + 1;
    }
    const char* separator =
        static_cast<const char*>(memchr(at, '\x01', static_cast<size_t>(end - at)));
    size_t length = static_cast<size_t>((separator != nullptr ? separator : end) - at);
    while (separator == nullptr && length > 0 && at[length - 1] == '\r') {
        --length;
    }
    return length < limit_ && sink->Take(at, length);
}

bool IndexLines::Feed(const char* bytes, size_t count, Sink* sink) {
    const char* at = bytes;
    const char* const end = bytes + count;
    while (at < end) {
        // Whole lines are taken apart at once; only a line cut by the end of the bytes goes
        // through the machine a byte at a time, which carries it on into the next bytes.
        if (firstLine_ || fields_ > 4) {
            // Nothing more of this line matters.
            const char* lineEnd =
                static_cast<const char*>(memchr(at, '\n', static_cast<size_t>(end - at)));
            if (lineEnd == nullptr) {
                return false;
            }
            at = lineEnd;
        } else if (lineStart_) {
            const char* lineEnd =
                static_cast<const char*>(memchr(at, '\n', static_cast<size_t>(end - at)));
            if (lineEnd != nullptr) {
                const bool stop = TakeLine(at, static_cast<size_t>(lineEnd - at), sink);
                EndLine();
                if (stop) {
                    return true;
                }
                at = lineEnd + 1;
                continue;
            }
        }
        if (Step(*at++, sink)) {
            return true;
        }
    }
    return false;
}

bool IndexLines::PendingField(const char** field, size_t* length) const {
    if (firstLine_ || !inFourth_ || tooLong_) {
        return false;
    }
    *field = field_;
    *length = length_;
    return true;
}

namespace {

// A hash of eight bytes a step: subjects are hashed once each as the index is read.
uint32_t HashOf(const char* text, size_t length) {
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15u;
    uint64_t hash = length * kMultiplier;
    size_t at = 0;
    for (; at + 8 <= length; at += 8) {
        uint64_t word;
        memcpy(&word, text + at, 8);
        hash = ((hash << 5 | hash >> 59) ^ word) * kMultiplier;
    }
    if (at < length) {
        uint64_t word = 0;
        memcpy(&word, text + at, length - at);
        hash = ((hash << 5 | hash >> 59) ^ word) * kMultiplier;
    }
    return static_cast<uint32_t>(hash >> 32);
}

// Compares one field with the subject asked about.
class SubjectMatch final : public IndexLines::Sink {
public:
    SubjectMatch(const char* subject, size_t length) : subject_(subject), length_(length) {}
    bool Take(const char* field, size_t length) override {
        return length == length_ && memcmp(field, subject_, length) == 0;
    }

private:
    const char* subject_;
    size_t length_;
};

}  // namespace

// The subjects of an index, each once: their bytes one after another, each behind its length in
// two bytes, and a table of open addressing over them that is never more than three quarters full.
class FolderIndex::SubjectSet final : public IndexLines::Sink {
public:
    static_assert(kIndexSubjectMax <= 0xFFFF, "a subject's length fits its two bytes");

    ~SubjectSet() {
        free(bytes_);
        free(slots_);
    }

    void Clear() {
        used_ = 0;
        count_ = 0;
        if (slots_ != nullptr) {
            memset(slots_, 0, slotCount_ * sizeof(Slot));
        }
    }

    bool failed() const { return failed_; }

    bool Contains(const char* subject, size_t length) const {
        return slots_ != nullptr && slots_[Find(subject, length, HashOf(subject, length))].at != 0;
    }

    // Keeps the field; on no memory remembers that the set is not whole any more.
    bool Take(const char* field, size_t length) override {
        if (!failed_ && !Add(field, length)) {
            failed_ = true;
        }
        return false;
    }

    void Reset() {
        Clear();
        failed_ = false;
    }

    // Makes room up front for the subjects of an index of `fileSize` bytes, reckoning a line of
    // 64 bytes, half of it the subject, rather than growing step by step as it is read. Room that
    // cannot be had now is sought again as it is needed.
    void Expect(uint64_t fileSize) {
        const uint64_t lines = fileSize / 64;
        while (static_cast<uint64_t>(slotCount_) * 3 < lines * 4 && slotCount_ < (1u << 30) &&
               GrowSlots()) {
        }
        const uint64_t bytes = fileSize / 2;
        if (bytes > size_ && bytes < 0xFFFFFFFEu) {
            char* grown = static_cast<char*>(realloc(bytes_, static_cast<size_t>(bytes)));
            if (grown != nullptr) {
                bytes_ = grown;
                size_ = static_cast<size_t>(bytes);
            }
        }
    }

private:
    struct Slot {
        uint32_t hash;
        uint32_t at;  // where the entry starts in bytes_, plus one; 0 for an empty slot
    };

    size_t Find(const char* subject, size_t length, uint32_t hash) const {
        const size_t mask = slotCount_ - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            if (slot.at == 0) {
                return i;
            }
            if (slot.hash == hash) {
                const unsigned char* entry =
                    reinterpret_cast<const unsigned char*>(bytes_) + slot.at - 1;
                const size_t entryLength = static_cast<size_t>(entry[0]) << 8 | entry[1];
                if (entryLength == length && memcmp(entry + 2, subject, length) == 0) {
                    return i;
                }
            }
        }
    }

    bool Add(const char* subject, size_t length) {
        if ((count_ + 1) * 4 > slotCount_ * 3 && !GrowSlots()) {
            return false;
        }
        const uint32_t hash = HashOf(subject, length);
        const size_t at = Find(subject, length, hash);
        if (slots_[at].at != 0) {
            return true;
        }
        const size_t entry = 2 + length;
        if (used_ + entry > 0xFFFFFFFEu) {
            return false;
        }
        if (used_ + entry > size_) {
            size_t size = size_ > 0 ? size_ : size_t{64} * 1024;
            while (size < used_ + entry) {
                size *= 2;
            }
            char* bytes = static_cast<char*>(realloc(bytes_, size));
            if (bytes == nullptr) {
                return false;
            }
            bytes_ = bytes;
            size_ = size;
        }
        bytes_[used_] = static_cast<char>(length >> 8);
        bytes_[used_ + 1] = static_cast<char>(length & 0xFF);
        memcpy(bytes_ + used_ + 2, subject, length);
        slots_[at].hash = hash;
        slots_[at].at = static_cast<uint32_t>(used_ + 1);
        used_ += entry;
        ++count_;
        return true;
    }

    bool GrowSlots() {
        const size_t slotCount = slotCount_ > 0 ? 2 * slotCount_ : 1024;
        Slot* slots = static_cast<Slot*>(calloc(slotCount, sizeof(Slot)));
        if (slots == nullptr) {
            return false;
        }
        for (size_t i = 0; i < slotCount_; ++i) {
            if (slots_[i].at != 0) {
                size_t to = slots_[i].hash & (slotCount - 1);
                while (slots[to].at != 0) {
                    to = (to + 1) & (slotCount - 1);
                }
                slots[to] = slots_[i];
            }
        }
        free(slots_);
        slots_ = slots;
        slotCount_ = slotCount;
        return true;
    }

    char* bytes_ = nullptr;
    size_t size_ = 0;
    size_t used_ = 0;
    Slot* slots_ = nullptr;
    size_t slotCount_ = 0;
    size_t count_ = 0;
    bool failed_ = false;
};

FolderIndex::FolderIndex()
    : lines_(kIndexSubjectMax + 1), subjects_(new (std::nothrow) SubjectSet) {}

FolderIndex::~FolderIndex() {
    delete subjects_;
}

void FolderIndex::Forget() {
    consumed_ = 0;
    tail_.length = 0;
    lines_.Reset();
    subjects_->Reset();
}

bool FolderIndex::TailIsUnchanged(FILE* file) const {
    if (tail_.length == 0) {
        return true;
    }
    char bytes[Tail::kSize];
    return SeekFile(file, consumed_ - tail_.length) &&
           fread(bytes, 1, tail_.length, file) == tail_.length &&
           memcmp(bytes, tail_.bytes, tail_.length) == 0;
}

void FolderIndex::KeepTail(const char* bytes, size_t count) {
    if (count >= Tail::kSize) {
        memcpy(tail_.bytes, bytes + count - Tail::kSize, Tail::kSize);
        tail_.length = Tail::kSize;
        return;
    }
    const size_t keep = tail_.length < Tail::kSize - count ? tail_.length : Tail::kSize - count;
    memmove(tail_.bytes, tail_.bytes + tail_.length - keep, keep);
    memcpy(tail_.bytes + keep, bytes, count);
    tail_.length = keep + count;
}

// Reads from the file's position to its end into the kept subjects.
bool FolderIndex::ReadOn(FILE* file) {
    size_t count;
    while ((count = fread(chunk_, 1, sizeof chunk_, file)) > 0) {
        lines_.Feed(chunk_, count, subjects_);
        consumed_ += count;
        KeepTail(chunk_, count);
    }
    return !ferror(file) && !subjects_->failed();
}

IndexAnswer FolderIndex::Lists(const char* path, const char* subject, size_t length) {
    if (length > kIndexSubjectMax || subjects_ == nullptr || !lines_.ready() || failed_) {
        return IndexAnswer::kUnknown;
    }
    FileFacts facts;
    // The usual case within a refresh: nothing was written to the index since the last
    // question, and what was read answers this one too.
    if (ReadPathFacts(path, &facts) && IsUnchanged(path, facts)) {
        return Answer(subject, length);
    }
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        return IndexAnswer::kNoIndex;
    }
    if (!ReadFileFacts(file, &facts)) {
        fclose(file);
        return IndexAnswer::kUnknown;
    }
    // The host appends to the index; anything else it does to it (a rewrite after messages were
    // deleted, another file put in its place) means reading it again from the start.
    const bool readOn = strcmp(path, path_) == 0 && IsSameFile(facts, facts_) &&
                        facts.size >= consumed_ && TailIsUnchanged(file);
    if (!readOn) {
        Forget();
        if (strlen(path) >= sizeof path_) {
            fclose(file);
            return IndexAnswer::kUnknown;
        }
        memcpy(path_, path, strlen(path) + 1);
    }
    facts_ = facts;
    if (consumed_ == 0) {
        subjects_->Expect(facts.size);
    }
    const bool read = SeekFile(file, consumed_) && ReadOn(file);
    fclose(file);
    if (!read) {
        // What is kept may lack lines: read again from the start next time, unless memory ran
        // out, when this reading keeps nothing any more.
        failed_ = subjects_->failed();
        Forget();
        return IndexAnswer::kUnknown;
    }
    return Answer(subject, length);
}

bool FolderIndex::IsUnchanged(const char* path, const FileFacts& facts) const {
    return consumed_ > 0 && strcmp(path, path_) == 0 && IsSameFile(facts, facts_) &&
           facts.size == consumed_ && facts.modified == facts_.modified;
}

IndexAnswer FolderIndex::Answer(const char* subject, size_t length) const {
    const char* pending = nullptr;
    size_t pendingLength = 0;
    const bool listed = subjects_->Contains(subject, length) ||
                        (lines_.PendingField(&pending, &pendingLength) && pendingLength == length &&
                         memcmp(pending, subject, length) == 0);
    return listed ? IndexAnswer::kListed : IndexAnswer::kNotListed;
}

IndexAnswer ScanIndexFile(const char* path, const char* subject, size_t length) {
    IndexLines lines(length + 1);
    if (!lines.ready()) {
        return IndexAnswer::kUnknown;
    }
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        return IndexAnswer::kNoIndex;
    }
    SubjectMatch match(subject, length);
    char chunk[kIndexReadCapacity];
    size_t count = 0;
    bool found = false;
    while (!found && (count = fread(chunk, 1, sizeof chunk, file)) > 0) {
        found = lines.Feed(chunk, count, &match);
    }
    fclose(file);
    const char* pending = nullptr;
    size_t pendingLength = 0;
    found = found ||
            (lines.PendingField(&pending, &pendingLength) && match.Take(pending, pendingLength));
    return found ? IndexAnswer::kListed : IndexAnswer::kNotListed;
}
