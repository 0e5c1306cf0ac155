#include "skin/CMenuCollector.h"
#include "skin/CMyBitmap.h"
#include "skin/CMyFont.h"
#include "skin/CMyMenu.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

TEST(SkinRuntimeClass, EachRecordNamesItsClassAndMakesEmptyInstances) {
    struct Row {
        const CRuntimeClass* record;
        const char* name;
        int size;
    } rows[] = {
        {RUNTIME_CLASS(CMyBitmap), "CMyBitmap", static_cast<int>(sizeof(CMyBitmap))},
        {RUNTIME_CLASS(CMyFont), "CMyFont", static_cast<int>(sizeof(CMyFont))},
        {RUNTIME_CLASS(CMyMenu), "CMyMenu", static_cast<int>(sizeof(CMyMenu))},
        {RUNTIME_CLASS(CMenuCollector), "CMenuCollector", static_cast<int>(sizeof(CMenuCollector))},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(std::string(row.record->m_lpszClassName), row.name);
        EXPECT_EQ(row.record->m_nObjectSize, row.size) << row.name;
        EXPECT_EQ(row.record->m_pBaseClass, RUNTIME_CLASS(CObject)) << row.name;
        std::unique_ptr<CObject> object(row.record->CreateObject());
        ASSERT_NE(object, nullptr) << row.name;
        EXPECT_EQ(object->GetRuntimeClass(), row.record) << row.name;
    }
}

} // namespace
