// Node storage: the header in front of every node and the blocks of TxmlNodePool. Kept apart from the
// tree code, which only ever uses new and delete.
#include <algorithm>
#include <atomic>
#include <new>

#include "xml/Node.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPoolNodes = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPoolNodes = false;
#else
constexpr bool kPoolNodes = true;
#endif
#else
constexpr bool kPoolNodes = true;
#endif

// In front of every node: the pool block holding it, or null for a node with an allocation of its own.
struct NodeHeader {
    TxmlNodePool::Block* block;
};
static_assert(alignof(TxmlNode) <= alignof(NodeHeader), "a node right after its header must be aligned");
constexpr size_t kHeaderSize = sizeof(NodeHeader);
constexpr size_t kSlotSize = kHeaderSize + sizeof(TxmlNode);
constexpr size_t kMaxBlockSlots = 256;

}  // namespace

// A block is this header followed by its slots, each a NodeHeader and room for one node.
struct TxmlNodePool::Block {
    std::atomic<size_t> holds;  // nodes alive in the block, plus one while a pool hands out its slots
    size_t slots;
    size_t used;

    char* Slot(size_t index) { return reinterpret_cast<char*>(this + 1) + index * kSlotSize; }
};
static_assert(sizeof(TxmlNodePool::Block) % alignof(NodeHeader) == 0);

namespace {

TxmlNodePool::Block* NewBlock(size_t slots) {
    void* raw = ::operator new(sizeof(TxmlNodePool::Block) + slots * kSlotSize);
    return new (raw) TxmlNodePool::Block{{1}, slots, 0};
}

void ReleaseBlock(TxmlNodePool::Block* block) noexcept {
    if (block->holds.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        block->~Block();
        ::operator delete(block);
    }
}

}  // namespace

TxmlNodePool::~TxmlNodePool() {
    if (block_) ReleaseBlock(block_);
}

void* TxmlNodePool::Allocate(size_t size) {
    // A larger derived node does not fit a slot; it gets an allocation of its own.
    if (!kPoolNodes || size > kSlotSize - kHeaderSize) return nullptr;
    if (!block_ || block_->used == block_->slots) {
        Block* fresh = NewBlock(nextBlockSlots_);
        if (block_) ReleaseBlock(block_);
        block_ = fresh;
        nextBlockSlots_ = std::min(nextBlockSlots_ * 2, kMaxBlockSlots);
    }
    char* slot = block_->Slot(block_->used++);
    block_->holds.fetch_add(1, std::memory_order_relaxed);
    new (slot) NodeHeader{block_};
    return slot + kHeaderSize;
}

void* TxmlNode::operator new(size_t size) {
    char* raw = static_cast<char*>(::operator new(kHeaderSize + size));
    new (raw) NodeHeader{nullptr};
    return raw + kHeaderSize;
}

void* TxmlNode::operator new(size_t size, TxmlNodePool& pool) {
    if (void* storage = pool.Allocate(size)) return storage;
    return operator new(size);
}

void TxmlNode::operator delete(void* storage) noexcept {
    if (!storage) return;
    NodeHeader* header = reinterpret_cast<NodeHeader*>(static_cast<char*>(storage) - kHeaderSize);
    if (header->block)
        ReleaseBlock(header->block);
    else
        ::operator delete(header);
}

void TxmlNode::operator delete(void* storage, TxmlNodePool&) noexcept { operator delete(storage); }
