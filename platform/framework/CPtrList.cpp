#include "platform/framework/CPtrList.h"

CPtrList::~CPtrList() {
    RemoveAll();
}

POSITION CPtrList::AddTail(void* newElement) {
    auto pNode = std::make_unique<Node>();
    pNode->data = newElement;
    Node* pAdded = pNode.get();
    if (m_pNodeTail != nullptr) {
        m_pNodeTail->pNext = std::move(pNode);
    } else {
        m_pNodeHead = std::move(pNode);
    }
    m_pNodeTail = pAdded;
    return ToPosition(pAdded);
}

void CPtrList::RemoveAll() {
    // One node at a time: letting the head free its successors would recurse
    // once per element.
    while (m_pNodeHead != nullptr) {
        m_pNodeHead = std::move(m_pNodeHead->pNext);
    }
    m_pNodeTail = nullptr;
}

POSITION CPtrList::GetHeadPosition() const {
    return ToPosition(m_pNodeHead.get());
}

void* CPtrList::GetNext(POSITION& rPosition) const {
    Node* pNode = ToNode(rPosition);
    if (pNode == nullptr) {
        return nullptr;
    }
    rPosition = ToPosition(pNode->pNext.get());
    return pNode->data;
}

CPtrList::Node* CPtrList::ToNode(POSITION position) {
    return reinterpret_cast<Node*>(position);
}

POSITION CPtrList::ToPosition(Node* pNode) {
    return reinterpret_cast<POSITION>(pNode);
}
