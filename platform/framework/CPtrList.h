// A doubly linked list of void pointers. Nodes come from blocks of a fixed
// number of nodes; removed nodes are kept for reuse until RemoveAll.
#pragma once

#include "platform/framework/CObject.h"

#include <memory>
#include <vector>

// An iteration position: an opaque node reference, NULL past either end.
struct CPositionTag;
typedef CPositionTag* POSITION;

class CPtrList : public CObject {
public:
    explicit CPtrList(int nBlockSize = 10);
    ~CPtrList() override;

    int GetCount() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0 ? TRUE : FALSE; }

    // NULL when the list is empty.
    void* GetHead() const;
    void* GetTail() const;

    POSITION AddHead(void* newElement);
    POSITION AddTail(void* newElement);
    // Remove and return the first or last element; NULL when empty.
    void* RemoveHead();
    void* RemoveTail();
    void RemoveAt(POSITION position);
    // Empties the list and gives every block back.
    void RemoveAll();

    POSITION GetHeadPosition() const;
    POSITION GetTailPosition() const;
    // Return the element at rPosition and move it on; NULL for a NULL position.
    void* GetNext(POSITION& rPosition) const;
    void* GetPrev(POSITION& rPosition) const;
    void* GetAt(POSITION position) const;
    void SetAt(POSITION position, void* newElement);

    // First position after startAfter (or from the head) holding value.
    POSITION Find(void* searchValue, POSITION startAfter = nullptr) const;

    // Nodes allocated so far, in use or free.
    int GetAllocatedNodeCount() const;

private:
    struct Node {
        Node* pNext;
        Node* pPrev;
        void* data;
    };

    Node* NewNode(Node* pPrev, Node* pNext, void* data);
    void FreeNode(Node* pNode);
    static Node* ToNode(POSITION position);
    static POSITION ToPosition(Node* pNode);

    Node* m_pNodeHead = nullptr;
    Node* m_pNodeTail = nullptr;
    Node* m_pNodeFree = nullptr;
    int m_nCount = 0;
    int m_nBlockSize;
    std::vector<std::unique_ptr<Node[]>> m_blocks;
};
