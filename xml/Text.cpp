// TxmlText: a node's Name or Value, borrowed from its tree's storage or in a heap block of its own.
#include <cstring>
#include <ostream>

#include "xml/Node.h"

void TxmlText::Assign(std::string_view text) {
    const char* old = owned_ ? data_ : nullptr;
    if (text.empty()) {
        data_ = "";
        owned_ = false;
    } else {
        char* copy = new char[text.size()];
        std::memcpy(copy, text.data(), text.size());
        data_ = copy;
        owned_ = true;
    }
    size_ = text.size();
    delete[] old;  // after the copy: text may have pointed into it
}

void TxmlText::Take(TxmlText& other) {
    if (!other.owned_) return Assign(other.View());
    Free();
    data_ = other.data_;
    size_ = other.size_;
    owned_ = true;
    other.data_ = "";
    other.size_ = 0;
    other.owned_ = false;
}

void TxmlText::Free() noexcept {
    if (owned_) delete[] data_;
    data_ = "";
    size_ = 0;
    owned_ = false;
}

TxmlText& TxmlText::operator=(const TxmlText& other) {
    if (this != &other) Assign(other.View());
    return *this;
}

TxmlText& TxmlText::operator=(TxmlText&& other) {
    if (this != &other) Take(other);
    return *this;
}

TxmlText& TxmlText::operator=(std::string_view text) {
    Assign(text);
    return *this;
}

std::ostream& operator<<(std::ostream& stream, const TxmlText& text) { return stream << text.View(); }
