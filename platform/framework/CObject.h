// The root of the framework's classes: a virtual destructor and the run-time
// class query.
#pragma once

#include "platform/framework/CRuntimeClass.h"
#include "platform/win32.h"

class CObject {
public:
    static const CRuntimeClass classCObject;

    virtual ~CObject() = default;
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;

    virtual const CRuntimeClass* GetRuntimeClass() const;
    // FALSE for a null record.
    BOOL IsKindOf(const CRuntimeClass* pClass) const;

protected:
    CObject() = default;
};
