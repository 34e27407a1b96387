// The tolerant parser: the whole input read into memory, then handed to the reader (Reader.cpp).
#include "xml/Parser.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/memory_pages.h"
#include "xml/Reader.h"
#include "xml/TreeStorage.h"

// ---- TxmlParser -----------------------------------------------------------------------------------------

namespace {

TxmlNode* NewRoot() {
    TxmlNode* root = new TxmlNode();
    root->Name = "Root";
    return root;
}

}  // namespace

TxmlParser::TxmlParser() : root_(NewRoot()) {}

TxmlParser::~TxmlParser() {
    if (root_ && !root_->Parent) {
        try {
            DestroyNode(root_);
        } catch (...) {
        }
    }
}

TxmlNode* TxmlParser::TakeRoot() noexcept {
    TxmlNode* root = root_;
    root_ = nullptr;
    return root;
}

void TxmlParser::LoadBytes(const char* data, size_t size) {
    TxmlTreeStorage* storage = TxmlTreeStorage::Create(size);
    struct Hold {
        TxmlTreeStorage* storage;
        ~Hold() {
            storage->Seal();
            TxmlTreeStorage::Release(storage);
        }
    } hold{storage};
    // The old top node goes (its trace line is written) unless it now belongs to another tree.
    TxmlNode* fresh = new (*storage) TxmlNode();
    fresh->Name = "Root";
    TxmlNode* old = root_;
    root_ = fresh;
    if (old && !old->Parent) DestroyNode(old);
    ReadXmlTree(std::string_view(data, size), *storage, root_);
}

void TxmlParser::LoadFromStream(std::istream& stream) {
    AnsiString bytes;
    char block[64 * 1024];
    try {
        while (stream && stream.read(block, sizeof block).gcount() > 0)
            bytes.append(block, static_cast<size_t>(stream.gcount()));
    } catch (...) {
        // A stream that throws on its state bits: they tell an error (bad) from the end (eof, fail).
    }
    // A stream cut off by an error must not pass for a shorter one; the tree stays as it was.
    if (stream.bad()) throw EInOutError("Stream read error", 0);
    LoadBytes(bytes.data(), bytes.size());
}

void TxmlParser::LoadFromString(std::string_view text) { LoadBytes(text.data(), text.size()); }

namespace {

[[noreturn]] void ThrowFileError(const char* what, const AnsiString& fileName, int code) {
    throw EInOutError(AnsiString(what) + " file \"" + fileName + "\". " + std::strerror(code), code);
}

}  // namespace

namespace {

// The bytes of a file being read; from a large page's size on, in large pages.
class FileBuffer {
public:
    explicit FileBuffer(size_t capacity) : bytes_(Allocate(capacity)), capacity_(capacity) {}
    FileBuffer(const FileBuffer&) = delete;
    FileBuffer& operator=(const FileBuffer&) = delete;
    ~FileBuffer() { Free(bytes_, capacity_); }

    char* get() const noexcept { return bytes_; }
    size_t capacity() const noexcept { return capacity_; }
    // Twice the room, the bytes kept.
    void Grow() {
        char* grown = Allocate(2 * capacity_);
        std::memcpy(grown, bytes_, capacity_);
        Free(bytes_, capacity_);
        bytes_ = grown;
        capacity_ *= 2;
    }

private:
    static char* Allocate(size_t size) { return size >= platform::kLargePageSize ? NewLargeBlock(size) : new char[size]; }
    static void Free(char* bytes, size_t size) noexcept {
        if (size >= platform::kLargePageSize)
            DeleteLargeBlock(bytes);
        else
            delete[] bytes;
    }

    char* bytes_;
    size_t capacity_;
};

// The size of an open file as its end's offset, for the first buffer; 64 KiB when it has none that
// makes sense (a folder, a pipe, a file past 1 GiB grows its buffer as it is read).
size_t SizeHint(std::FILE* file) {
    constexpr long kMost = 1L << 30;
    long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    std::rewind(file);  // also clears the error state a failed seek may leave
    return size > 0 && size < kMost ? static_cast<size_t>(size) : 64 * 1024;
}

}  // namespace

void TxmlParser::LoadFromFile(const AnsiString& fileName) {
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (!file) {
        int code = errno;
        if (code == ENOENT) return;  // a missing file leaves the empty tree
        ThrowFileError("Cannot open", fileName, code);
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, &std::fclose);
    // The whole file in one buffer, grown as it fills. A read error throws before anything changes: a
    // folder opens on some systems but cannot be read (a file that cannot be opened, not an empty one),
    // and a file cut off by an error must not pass for a shorter one.
    FileBuffer bytes(SizeHint(file) + 1);  // one more, so that the end shows without growing
    size_t size = 0;
    for (;;) {
        if (size == bytes.capacity()) bytes.Grow();
        size_t got = std::fread(bytes.get() + size, 1, bytes.capacity() - size, file);
        size += got;
        if (got != 0) continue;
        if (!std::ferror(file)) break;
        int code = errno ? errno : EIO;
        // A folder opens here but is no file to read: it is reported as one that cannot be opened, as on
        // systems where opening it fails.
        ThrowFileError(code == EISDIR ? "Cannot open" : "Cannot read", fileName, code);
    }
    closer.reset();
    LoadBytes(bytes.get(), size);
}

TxmlNode* LoadXmlFile(const AnsiString& fileName) {
    TxmlParser parser;
    parser.LoadFromFile(fileName);
    return parser.TakeRoot();
}

TxmlNode* LoadXmlString(std::string_view text) {
    TxmlParser parser;
    parser.LoadFromString(text);
    return parser.TakeRoot();
}
