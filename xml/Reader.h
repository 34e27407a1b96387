#pragma once
// The tokenizer behind TxmlParser (not part of the unit's interface).
#include <string_view>

class TxmlNode;
class TxmlTreeStorage;

// Builds the tree of input below top, a fresh node of storage; every node and text it makes lies in
// storage. The rules are those stated in Parser.h.
void ReadXmlTree(std::string_view input, TxmlTreeStorage& storage, TxmlNode* top);
