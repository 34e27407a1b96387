#pragma once
// The storage of a loaded tree (not part of the unit's interface): the nodes of one file and the text
// they borrow lie in a few large blocks instead of one heap block per node, name, value and attribute
// list. Every node made in a storage holds it; the storage and all its blocks go with the last node,
// wherever the nodes went meanwhile (moved to another tree, released on another thread). One node kept
// alive keeps the whole storage alive.
//
// A storage is filled by one loader on one thread: Create, nodes with new (storage) TxmlNode and text
// with Borrow..., then Seal and Release once. No node of the storage may be deleted before Seal.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "xml/Node.h"

class TxmlTreeStorage {
public:
    // A new storage, held once by its loader, for a tree read from inputSize bytes: from a large page's
    // size on, its blocks are large pages of their own.
    static TxmlTreeStorage* Create(size_t inputSize);
    // Drops holds; the last one frees the storage.
    static void Release(TxmlTreeStorage* storage, size_t holds = 1) noexcept;

    TxmlTreeStorage(const TxmlTreeStorage&) = delete;
    TxmlTreeStorage& operator=(const TxmlTreeStorage&) = delete;

    // Room for size bytes of text, to be filled and then borrowed by a node of this storage.
    char* AllocateText(size_t size) {
        if (next_ && static_cast<size_t>(limit_ - next_) >= size) {
            char* at = next_;
            next_ += size;
            return at;
        }
        return Allocate(size, 1);
    }
    // Points text (of a node of this storage) at size bytes that lie in this storage.
    static void Borrow(TxmlText& text, const char* data, size_t size) noexcept {
        if (text.owned_) text.Free();
        text.data_ = data;
        text.size_ = size;
    }
    // Points lines (of a node of this storage) at count encoded lines that lie in this storage.
    static void Borrow(TxmlAttributes& lines, const char* data, size_t size, uint32_t count) noexcept {
        if (lines.owned_) lines.Free();
        lines.data_ = data;
        lines.size_ = size;
        lines.count_ = count;
    }
    // Points list (of a node of this storage) at count entries that lie in this storage.
    static void Borrow(TxmlChildList& list, TxmlNode** data, size_t count) noexcept {
        list.Free();
        list.data_ = data;
        list.size_ = static_cast<uint32_t>(count);
    }
    // Room for count child entries, to be filled and then borrowed by a node of this storage.
    TxmlNode** AllocateChildren(size_t count) {
        return reinterpret_cast<TxmlNode**>(Allocate(count * sizeof(TxmlNode*), alignof(TxmlNode*)));
    }
    // Copies bytes into the storage and points text at the copy.
    void CopyInto(TxmlText& text, std::string_view bytes);

    // A piece whose size shows only while it is written (a start tag's name and attribute lines, a
    // decoded text): StartPiece gives room for at least size bytes, GrowPiece more room after the used
    // bytes (the piece may move), EndPiece takes the used bytes and answers where they lie for good. No
    // other allocation may come between StartPiece and EndPiece.
    char* StartPiece(size_t size);
    char* GrowPiece(char* start, size_t used, size_t more);
    // The end of the room of the piece being written.
    char* PieceLimit() const noexcept { return pieceLimit_; }
    char* EndPiece(char* start, size_t used);

    // Makes every node allocated so far a hold of the storage.
    void Seal() noexcept;

private:
    friend class TxmlNode;
    struct Block;

    TxmlTreeStorage() noexcept = default;
    ~TxmlTreeStorage();
    char* Allocate(size_t size, size_t alignment) {
        size_t pad = static_cast<size_t>(-reinterpret_cast<uintptr_t>(next_)) & (alignment - 1);
        if (next_ && static_cast<size_t>(limit_ - next_) >= pad + size) {
            char* at = next_ + pad;
            next_ = at + size;
            return at;
        }
        return AllocateInNewBlock(size);
    }
    char* AllocateInNewBlock(size_t size);
    // Makes a new block with room for at least least bytes the current one and answers its start.
    char* StartSharedBlock(size_t least);
    // The most that a request may ask of a shared block; a larger one gets a block of its own.
    size_t MostSharedRequest() const noexcept;
    // The room of a block that is one large page.
    static size_t LargeBlockRoom() noexcept;
    char* AllocateBlock(size_t size, bool large = false);
    void* AllocateNode(size_t size);
    void UndoNode(void* node) noexcept;

    std::atomic<size_t> holds_{1};
    size_t unsealedNodes_ = 0;
    Block* blocks_ = nullptr;
    char* next_ = nullptr;
    char* limit_ = nullptr;
    char* pieceLimit_ = nullptr;
    size_t nextBlockSize_ = 4096;
    bool largeBlocks_ = false;
};

// Memory for a large file's bytes or a large storage's blocks, in whole large pages of the system (see
// platform/memory_pages.h), so that filling it takes one page fault per 2 MiB rather than per 4 KiB.
char* NewLargeBlock(size_t size);
void DeleteLargeBlock(char* block) noexcept;

// Frees the memory of nodes whose destructors have run, as delete would; the holds of one storage that
// such nodes drop one after another are dropped in one step.
class TxmlNodeFreer {
public:
    TxmlNodeFreer() noexcept = default;
    TxmlNodeFreer(const TxmlNodeFreer&) = delete;
    TxmlNodeFreer& operator=(const TxmlNodeFreer&) = delete;
    ~TxmlNodeFreer() { Flush(); }

    void Free(TxmlNode* destroyed) noexcept;

private:
    void Flush() noexcept;
    TxmlTreeStorage* storage_ = nullptr;
    size_t holds_ = 0;
};
