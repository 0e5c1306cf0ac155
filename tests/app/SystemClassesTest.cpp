// The system's classes that carry a runtime class: each record makes a new
// object of its own class that is a kind of the class it derives from, so
// code that makes them by their record or asks IsKindOf gets the real thing.
#include "skin/CLayout.h"
#include "skin/CMenuCollector.h"
#include "skin/CMyBitmap.h"
#include "skin/CMyFont.h"
#include "skin/CMyMenu.h"
#include "tests/support/TestMachine.h"
#include "update/CUpdateInf.h"
#include "window/CSetupWnd.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

struct Row {
    const char* name;
    const CRuntimeClass* record;
    const CRuntimeClass* base;
    // Whether an object is, in C++ terms, of the row's class.
    std::function<bool(CObject*)> isClass;
};

template <class T>
Row row(const char* name, const CRuntimeClass* record, const CRuntimeClass* base) {
    return {name, record, base,
            [](CObject* object) { return dynamic_cast<T*>(object) != nullptr; }};
}

TEST(SystemClasses, EachRecordMakesItsOwnClassAKindOfItsBase) {
    // CUpdateInf reads the Windows directory when it is made.
    corvane_test::TestMachine machine;
    machine.boot();
    const Row rows[] = {
        row<CLayout>("CLayout", RUNTIME_CLASS(CLayout), RUNTIME_CLASS(CObject)),
        row<CMenuCollector>("CMenuCollector", RUNTIME_CLASS(CMenuCollector),
                            RUNTIME_CLASS(CObject)),
        row<CMyBitmap>("CMyBitmap", RUNTIME_CLASS(CMyBitmap), RUNTIME_CLASS(CObject)),
        row<CMyFont>("CMyFont", RUNTIME_CLASS(CMyFont), RUNTIME_CLASS(CObject)),
        row<CMyMenu>("CMyMenu", RUNTIME_CLASS(CMyMenu), RUNTIME_CLASS(CObject)),
        row<CSetupWnd>("CSetupWnd", RUNTIME_CLASS(CSetupWnd), RUNTIME_CLASS(CWnd)),
        row<CUpdateInf>("CUpdateInf", RUNTIME_CLASS(CUpdateInf), RUNTIME_CLASS(CObject)),
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::unique_ptr<CObject> first(r.record->CreateObject());
        std::unique_ptr<CObject> second(r.record->CreateObject());
        ASSERT_NE(first, nullptr);
        ASSERT_NE(second, nullptr);
        EXPECT_NE(first, second) << "each call makes a new object";
        EXPECT_TRUE(r.isClass(first.get()));
        EXPECT_EQ(first->GetRuntimeClass(), r.record);
        EXPECT_TRUE(first->IsKindOf(r.record));
        EXPECT_TRUE(first->IsKindOf(r.base));
        EXPECT_TRUE(first->IsKindOf(RUNTIME_CLASS(CObject)));
    }
}

} // namespace
