#include "platform/framework/AfxWin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

class CTestShape : public CObject {
    DECLARE_DYNCREATE(CTestShape)

public:
    int m_corners = 3;
};

class CTestSquare : public CTestShape {
    DECLARE_DYNCREATE(CTestSquare)

public:
    CTestSquare() { m_corners = 4; }
    char m_name[40] = {};
};

IMPLEMENT_DYNCREATE(CTestShape, CObject)
IMPLEMENT_DYNCREATE(CTestSquare, CTestShape)

} // namespace

TEST(RuntimeClass, RecordsNameSizeBaseAndCreator) {
    const CRuntimeClass* square = RUNTIME_CLASS(CTestSquare);
    EXPECT_STREQ(square->m_lpszClassName, "CTestSquare");
    EXPECT_EQ(square->m_nObjectSize, static_cast<int>(sizeof(CTestSquare)));
    EXPECT_EQ(square->m_pBaseClass, RUNTIME_CLASS(CTestShape));
    EXPECT_EQ(RUNTIME_CLASS(CTestShape)->m_pBaseClass, RUNTIME_CLASS(CObject));
    EXPECT_EQ(RUNTIME_CLASS(CObject)->m_pBaseClass, nullptr);

    std::unique_ptr<CObject> made(square->CreateObject());
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetRuntimeClass(), square);
    // An empty instance: constructed by its own default constructor.
    EXPECT_EQ(static_cast<CTestSquare*>(made.get())->m_corners, 4);

    // Records without a creator make nothing.
    EXPECT_EQ(RUNTIME_CLASS(CObject)->CreateObject(), nullptr);
    EXPECT_EQ(RUNTIME_CLASS(CWnd)->CreateObject(), nullptr);
}

TEST(RuntimeClass, IsKindOfFollowsTheBaseChain) {
    CTestSquare square;
    CTestShape shape;
    CWnd wnd;
    const struct {
        const CObject* object;
        const CRuntimeClass* asked;
        BOOL expected;
    } rows[] = {
        {&square, RUNTIME_CLASS(CTestSquare), TRUE}, {&square, RUNTIME_CLASS(CTestShape), TRUE},
        {&square, RUNTIME_CLASS(CObject), TRUE},     {&shape, RUNTIME_CLASS(CTestSquare), FALSE},
        {&shape, RUNTIME_CLASS(CWnd), FALSE},        {&wnd, RUNTIME_CLASS(CWnd), TRUE},
        {&wnd, RUNTIME_CLASS(CTestShape), FALSE},    {&square, nullptr, FALSE},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.object->IsKindOf(row.asked), row.expected)
            << row.object->GetRuntimeClass()->m_lpszClassName << " asked for "
            << (row.asked != nullptr ? row.asked->m_lpszClassName : "(null)");
    }
}
