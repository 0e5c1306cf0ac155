#include "platform/framework/CPtrList.h"

CPtrList::CPtrList(int nBlockSize) : m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10) {}

CPtrList::~CPtrList() = default;

void* CPtrList::GetHead() const {
    return m_pNodeHead != nullptr ? m_pNodeHead->data : nullptr;
}

void* CPtrList::GetTail() const {
    return m_pNodeTail != nullptr ? m_pNodeTail->data : nullptr;
}

POSITION CPtrList::AddHead(void* newElement) {
    Node* pNode = NewNode(nullptr, m_pNodeHead, newElement);
    if (m_pNodeHead != nullptr) {
        m_pNodeHead->pPrev = pNode;
    } else {
        m_pNodeTail = pNode;
    }
    m_pNodeHead = pNode;
    return ToPosition(pNode);
}

POSITION CPtrList::AddTail(void* newElement) {
    Node* pNode = NewNode(m_pNodeTail, nullptr, newElement);
    if (m_pNodeTail != nullptr) {
        m_pNodeTail->pNext = pNode;
    } else {
        m_pNodeHead = pNode;
    }
    m_pNodeTail = pNode;
    return ToPosition(pNode);
}

void* CPtrList::RemoveHead() {
    if (m_pNodeHead == nullptr) {
        return nullptr;
    }
    void* data = m_pNodeHead->data;
    RemoveAt(ToPosition(m_pNodeHead));
    return data;
}

void* CPtrList::RemoveTail() {
    if (m_pNodeTail == nullptr) {
        return nullptr;
    }
    void* data = m_pNodeTail->data;
    RemoveAt(ToPosition(m_pNodeTail));
    return data;
}

void CPtrList::RemoveAt(POSITION position) {
    Node* pNode = ToNode(position);
    if (pNode == nullptr) {
        return;
    }
    if (pNode->pPrev != nullptr) {
        pNode->pPrev->pNext = pNode->pNext;
    } else {
        m_pNodeHead = pNode->pNext;
    }
    if (pNode->pNext != nullptr) {
        pNode->pNext->pPrev = pNode->pPrev;
    } else {
        m_pNodeTail = pNode->pPrev;
    }
    FreeNode(pNode);
}

void CPtrList::RemoveAll() {
    m_pNodeHead = nullptr;
    m_pNodeTail = nullptr;
    m_pNodeFree = nullptr;
    m_nCount = 0;
    m_blocks.clear();
}

POSITION CPtrList::GetHeadPosition() const {
    return ToPosition(m_pNodeHead);
}

POSITION CPtrList::GetTailPosition() const {
    return ToPosition(m_pNodeTail);
}

void* CPtrList::GetNext(POSITION& rPosition) const {
    Node* pNode = ToNode(rPosition);
    if (pNode == nullptr) {
        return nullptr;
    }
    rPosition = ToPosition(pNode->pNext);
    return pNode->data;
}

void* CPtrList::GetPrev(POSITION& rPosition) const {
    Node* pNode = ToNode(rPosition);
    if (pNode == nullptr) {
        return nullptr;
    }
    rPosition = ToPosition(pNode->pPrev);
    return pNode->data;
}

void* CPtrList::GetAt(POSITION position) const {
    Node* pNode = ToNode(position);
    return pNode != nullptr ? pNode->data : nullptr;
}

void CPtrList::SetAt(POSITION position, void* newElement) {
    if (Node* pNode = ToNode(position)) {
        pNode->data = newElement;
    }
}

POSITION CPtrList::Find(void* searchValue, POSITION startAfter) const {
    Node* pNode = startAfter != nullptr ? ToNode(startAfter)->pNext : m_pNodeHead;
    for (; pNode != nullptr; pNode = pNode->pNext) {
        if (pNode->data == searchValue) {
            return ToPosition(pNode);
        }
    }
    return nullptr;
}

int CPtrList::GetAllocatedNodeCount() const {
    return static_cast<int>(m_blocks.size()) * m_nBlockSize;
}

CPtrList::Node* CPtrList::NewNode(Node* pPrev, Node* pNext, void* data) {
    if (m_pNodeFree == nullptr) {
        // A new block goes onto the free chain in address order, so nodes
        // are handed out front to back.
        m_blocks.push_back(std::make_unique<Node[]>(static_cast<std::size_t>(m_nBlockSize)));
        Node* block = m_blocks.back().get();
        for (int i = m_nBlockSize - 1; i >= 0; --i) {
            block[i].pNext = m_pNodeFree;
            m_pNodeFree = &block[i];
        }
    }
    Node* pNode = m_pNodeFree;
    m_pNodeFree = pNode->pNext;
    pNode->pPrev = pPrev;
    pNode->pNext = pNext;
    pNode->data = data;
    ++m_nCount;
    return pNode;
}

void CPtrList::FreeNode(Node* pNode) {
    pNode->data = nullptr;
    pNode->pPrev = nullptr;
    pNode->pNext = m_pNodeFree;
    m_pNodeFree = pNode;
    --m_nCount;
}

CPtrList::Node* CPtrList::ToNode(POSITION position) {
    return reinterpret_cast<Node*>(position);
}

POSITION CPtrList::ToPosition(Node* pNode) {
    return reinterpret_cast<POSITION>(pNode);
}
