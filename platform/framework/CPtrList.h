// A singly linked list of void pointers: added at the tail, walked from the
// head, emptied as a whole.
#pragma once

#include "platform/framework/CObject.h"

#include <memory>

// An iteration position: an opaque node reference, NULL past the end.
struct CPositionTag;
typedef CPositionTag* POSITION;

class CPtrList : public CObject {
public:
    CPtrList() = default;
    ~CPtrList() override;

    POSITION AddTail(void* newElement);
    void RemoveAll();

    POSITION GetHeadPosition() const;
    // Returns the element at rPosition and moves it on; NULL for a NULL
    // position.
    void* GetNext(POSITION& rPosition) const;

private:
    struct Node {
        std::unique_ptr<Node> pNext;
        void* data;
    };

    static Node* ToNode(POSITION position);
    static POSITION ToPosition(Node* pNode);

    std::unique_ptr<Node> m_pNodeHead;
    Node* m_pNodeTail = nullptr;
};
