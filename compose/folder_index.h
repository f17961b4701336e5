// How the duplicate check reads a folder's index file: one line a message after the first line,
// the message's subject in each line's fourth field.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/capacities.h"
#include "platform/files.h"

// The fourth fields of an index file's lines after the first, from its bytes in pieces of any
// size. Fields are separated by the byte 0x01, each separator one: the host writes number, date,
// sender and subject, and an empty field (a sender of blanks) is a field all the same, so that
// the subject is never lost to it. Carriage returns at the end of a field that ends its line
// belong to the line end.
class IndexLines {
public:
    // Receives the fourth field of each line once it is whole; true stops the reading.
    class Sink {
    public:
        virtual bool Take(const char* field, size_t length) = 0;

    protected:
        ~Sink() = default;
    };

    // Fields of `fieldLimit` bytes or more are not passed on: nothing asked about is that long.
    explicit IndexLines(size_t fieldLimit);
    ~IndexLines();
    IndexLines(const IndexLines&) = delete;
    IndexLines& operator=(const IndexLines&) = delete;

    // False when there was no memory for a field of the limit.
    bool ready() const { return field_ != nullptr; }

    // Back to the start of a file.
    void Reset();

    // Reads on; true as soon as the sink asks to stop.
    bool Feed(const char* bytes, size_t count, Sink* sink);

    // The fourth field of a last line that has no line end yet, as it is if the file ends there;
    // false when that line has no fourth field (yet), or one too long.
    bool PendingField(const char** field, size_t* length) const;

private:
    // One byte through the machine; true when the sink asked to stop.
    bool Step(char c, Sink* sink);
    void EndLine();
    // The rest of a line (without its line end) whose fourth field is still to come, taken apart
    // at once as the machine would a byte at a time.
    bool TakeLine(const char* line, size_t size, Sink* sink) const;
    void Append(char c);
    void AppendHeldReturns();

    char* field_;
    size_t limit_;
    size_t length_ = 0;
    size_t heldReturns_ = 0;  // carriage returns that may still be the line end's
    bool firstLine_ = true;
    bool lineStart_ = true;
    int fields_ = 1;  // the field the machine is in, from 1
    bool inFourth_ = false;
    bool tooLong_ = false;
};

enum class IndexAnswer {
    kListed,
    kNotListed,
    kNoIndex,  // the file cannot be opened
    kUnknown,  // what was kept cannot tell: read the whole file instead
};

// The longest subject a FolderIndex answers for: the longest an item's subject can be.
constexpr size_t kIndexSubjectMax = kItemTitleCapacity - 1;

// What one thread has read of a folder's index, kept from one item of a feed to the next: the
// subjects listed so far, each once, and where the reading stopped.
class FolderIndex {
public:
    FolderIndex();
    ~FolderIndex();
    FolderIndex(const FolderIndex&) = delete;
    FolderIndex& operator=(const FolderIndex&) = delete;

    // Whether the index at `path` lists `subject` (`length` bytes). Reads only what was added to
    // the file since the last question, and nothing when its length and time of last write are
    // as they were; the whole file again when it is another file, or it shrank or its last bytes
    // read have changed. kUnknown for a subject longer than kIndexSubjectMax, and when memory for
    // what it keeps ran out.
    IndexAnswer Lists(const char* path, const char* subject, size_t length);

private:
    class SubjectSet;
    struct Tail {
        static constexpr size_t kSize = 64;
        char bytes[kSize];
        size_t length = 0;
    };

    // Whether the file's facts say that nothing was written to it since it was last read.
    bool IsUnchanged(const char* path, const FileFacts& facts) const;
    IndexAnswer Answer(const char* subject, size_t length) const;
    void Forget();
    bool ReadOn(FILE* file);
    bool TailIsUnchanged(FILE* file) const;
    void KeepTail(const char* bytes, size_t count);

    char path_[kPathCapacity] = {};
    FileFacts facts_;
    uint64_t consumed_ = 0;
    Tail tail_;
    IndexLines lines_;
    SubjectSet* subjects_;
    bool failed_ = false;
    char chunk_[kIndexFollowCapacity];
};

// Reads the whole index at `path` once for one subject of any length, keeping nothing.
IndexAnswer ScanIndexFile(const char* path, const char* subject, size_t length);
