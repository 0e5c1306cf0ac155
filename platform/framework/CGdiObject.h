// Owner of one GDI object handle: the object is deleted with its owner.
#pragma once

#include "platform/framework/CObject.h"

class CGdiObject : public CObject {
public:
    CGdiObject() = default;
    ~CGdiObject() override;

    HGDIOBJ m_hObject = nullptr;

    // Takes ownership of hObject; FALSE for NULL or when one is held already.
    BOOL Attach(HGDIOBJ hObject);
    // Gives up ownership without deleting.
    HGDIOBJ Detach();
    // Deletes the held object; FALSE when there is none or GDI refuses.
    BOOL DeleteObject();
    HGDIOBJ GetSafeHandle() const { return m_hObject; }
};
