// Node storage: the header in front of every node and the blocks of a loaded tree's storage. Kept apart
// from the tree code, which only ever uses new and delete.
#include "xml/TreeStorage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/memory_pages.h"

namespace {

// Under AddressSanitizer every node and every text gets a heap block of its own, so that a use after
// free or past the end is still caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kShareBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kShareBlocks = false;
#else
constexpr bool kShareBlocks = true;
#endif
#else
constexpr bool kShareBlocks = true;
#endif

// In front of every node: the storage holding it, or null for a node made with plain new.
struct NodeHeader {
    TxmlTreeStorage* storage;
};
static_assert(alignof(TxmlNode) <= alignof(NodeHeader), "a node right after its header must be aligned");
constexpr size_t kHeaderSize = sizeof(NodeHeader);
// Blocks grow from small (a short file pays little) to this size; larger requests get a block of their own.
constexpr size_t kMaxBlockSize = 256 * 1024;

NodeHeader* HeaderOf(void* node) {
    return reinterpret_cast<NodeHeader*>(static_cast<char*>(node) - kHeaderSize);
}

}  // namespace

char* NewLargeBlock(size_t size) {
    size_t pages = (size + platform::kLargePageSize - 1) / platform::kLargePageSize;
    void* block = ::operator new(pages * platform::kLargePageSize, std::align_val_t(platform::kLargePageSize));
    platform::AdviseLargePages(block, pages * platform::kLargePageSize);
    return static_cast<char*>(block);
}

void DeleteLargeBlock(char* block) noexcept { ::operator delete(block, std::align_val_t(platform::kLargePageSize)); }

struct TxmlTreeStorage::Block {
    Block* next;
    bool large;  // one large page (NewLargeBlock)
    alignas(std::max_align_t) char bytes[1];
};

size_t TxmlTreeStorage::LargeBlockRoom() noexcept { return platform::kLargePageSize - offsetof(Block, bytes); }

TxmlTreeStorage* TxmlTreeStorage::Create(size_t inputSize) {
    TxmlTreeStorage* storage = new TxmlTreeStorage();
    storage->largeBlocks_ = kShareBlocks && inputSize >= platform::kLargePageSize;
    return storage;
}

TxmlTreeStorage::~TxmlTreeStorage() {
    while (blocks_) {
        Block* next = blocks_->next;
        if (blocks_->large)
            DeleteLargeBlock(reinterpret_cast<char*>(blocks_));
        else
            ::operator delete(blocks_);
        blocks_ = next;
    }
}

void TxmlTreeStorage::Release(TxmlTreeStorage* storage, size_t holds) noexcept {
    if (storage->holds_.fetch_sub(holds, std::memory_order_acq_rel) == holds) delete storage;
}

void TxmlTreeStorage::Seal() noexcept {
    holds_.fetch_add(unsealedNodes_, std::memory_order_relaxed);
    unsealedNodes_ = 0;
}

char* TxmlTreeStorage::AllocateBlock(size_t size, bool large) {
    size_t total = offsetof(Block, bytes) + size;
    Block* block = static_cast<Block*>(large ? static_cast<void*>(NewLargeBlock(total)) : ::operator new(total));
    block->next = blocks_;
    block->large = large;
    blocks_ = block;
    return block->bytes;
}

size_t TxmlTreeStorage::MostSharedRequest() const noexcept {
    if (!kShareBlocks) return 0;
    return (largeBlocks_ ? LargeBlockRoom() : kMaxBlockSize) / 2;
}

char* TxmlTreeStorage::StartSharedBlock(size_t least) {
    size_t size = LargeBlockRoom();
    char* at;
    if (largeBlocks_) {
        at = AllocateBlock(size, true);
    } else {
        size = std::max(nextBlockSize_, least);
        nextBlockSize_ = std::min(nextBlockSize_ * 2, kMaxBlockSize);
        at = AllocateBlock(size);
    }
    next_ = at;
    limit_ = at + size;
    return at;
}

char* TxmlTreeStorage::AllocateInNewBlock(size_t size) {
    if (size > MostSharedRequest()) return AllocateBlock(std::max<size_t>(size, 1));  // the current block stays in use
    char* at = StartSharedBlock(size);
    next_ = at + size;
    return at;
}

void TxmlTreeStorage::CopyInto(TxmlText& text, std::string_view bytes) {
    if (bytes.empty()) return Borrow(text, "", 0);
    char* at = AllocateText(bytes.size());
    std::copy(bytes.begin(), bytes.end(), at);
    Borrow(text, at, bytes.size());
}

char* TxmlTreeStorage::StartPiece(size_t size) {
    if (kShareBlocks && next_ && static_cast<size_t>(limit_ - next_) >= size) {
        pieceLimit_ = limit_;
        return next_;
    }
    return GrowPiece(nullptr, 0, size);
}

char* TxmlTreeStorage::GrowPiece(char* start, size_t used, size_t more) {
    size_t size = std::max(2 * used + more, size_t(64));
    char* at;
    if (size > MostSharedRequest()) {
        at = AllocateBlock(size);  // the current block stays in use
    } else {
        at = StartSharedBlock(size);
        size = static_cast<size_t>(limit_ - at);
    }
    if (used) std::memcpy(at, start, used);
    pieceLimit_ = at + size;
    return at;
}

char* TxmlTreeStorage::EndPiece(char* start, size_t used) {
    pieceLimit_ = nullptr;
    if (!kShareBlocks) {
        // A block of the exact size, so that a read past the piece is caught.
        char* exact = AllocateBlock(std::max<size_t>(used, 1));
        if (used) std::memcpy(exact, start, used);
        return exact;
    }
    if (start == next_) next_ = start + used;
    return start;
}

void* TxmlTreeStorage::AllocateNode(size_t size) {
    char* raw = kShareBlocks ? Allocate(kHeaderSize + size, alignof(NodeHeader))
                             : static_cast<char*>(::operator new(kHeaderSize + size));
    new (raw) NodeHeader{this};
    ++unsealedNodes_;
    return raw + kHeaderSize;
}

void TxmlTreeStorage::UndoNode(void* node) noexcept {
    --unsealedNodes_;
    if (!kShareBlocks) ::operator delete(HeaderOf(node));
}

void* TxmlNode::operator new(size_t size) {
    char* raw = static_cast<char*>(::operator new(kHeaderSize + size));
    new (raw) NodeHeader{nullptr};
    return raw + kHeaderSize;
}

void* TxmlNode::operator new(size_t size, TxmlTreeStorage& storage) { return storage.AllocateNode(size); }

void TxmlNode::operator delete(void* node) noexcept {
    if (!node) return;
    NodeHeader* header = HeaderOf(node);
    TxmlTreeStorage* storage = header->storage;
    if (!storage || !kShareBlocks) ::operator delete(header);
    if (storage) TxmlTreeStorage::Release(storage);
}

void TxmlNode::operator delete(void* node, TxmlTreeStorage& storage) noexcept { storage.UndoNode(node); }

void TxmlNodeFreer::Free(TxmlNode* destroyed) noexcept {
    NodeHeader* header = HeaderOf(destroyed);
    TxmlTreeStorage* storage = header->storage;
    if (!storage || !kShareBlocks) ::operator delete(header);
    if (!storage) return;
    if (storage != storage_) {
        Flush();
        storage_ = storage;
    }
    ++holds_;
}

void TxmlNodeFreer::Flush() noexcept {
    if (holds_) TxmlTreeStorage::Release(storage_, holds_);
    holds_ = 0;
}
