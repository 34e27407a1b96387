// TxmlChildList: the children of a node, in its tree's storage or in a heap block of their own.
#include <algorithm>
#include <cstring>

#include "xml/Node.h"

void TxmlChildList::Grow(size_t least) {
    if (least > UINT32_MAX) throw EListError("Too many child nodes");
    size_t grown = std::max<size_t>({least, 2 * size_t(size_), 4});
    if (grown > UINT32_MAX) grown = UINT32_MAX;
    TxmlNode** block = new TxmlNode*[grown];
    if (size_) std::memcpy(block, data_, size_ * sizeof(TxmlNode*));
    if (capacity_) delete[] data_;
    data_ = block;
    capacity_ = static_cast<uint32_t>(grown);
}

void TxmlChildList::Free() noexcept {
    if (capacity_) delete[] data_;
    data_ = nullptr;
    size_ = 0;
    capacity_ = 0;
}

TxmlChildList::iterator TxmlChildList::insert(const_iterator at, TxmlNode* node) {
    size_t index = static_cast<size_t>(at - data_);
    if (size_ >= capacity_) Grow(size_ + size_t(1));
    std::memmove(data_ + index + 1, data_ + index, (size_ - index) * sizeof(TxmlNode*));
    data_[index] = node;
    ++size_;
    return data_ + index;
}

TxmlChildList::iterator TxmlChildList::erase(const_iterator at) noexcept {
    size_t index = static_cast<size_t>(at - data_);
    std::memmove(data_ + index, data_ + index + 1, (size_ - index - 1) * sizeof(TxmlNode*));
    --size_;
    return data_ + index;
}

void TxmlChildList::swap(TxmlChildList& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
}
