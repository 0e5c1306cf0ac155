// Checks what the launcher window reads from layout.ini: the LAYOUT, BITMAP,
// FONT, GAPS and MENU sections and the pictures. The values are taken by the
// program's own skin objects (CLayout, CMyBitmap, CMyFont, CMenuCollector) on
// the emulated machine, so a finding says what the program will really do;
// the layout's text only tells where a value stands.
#pragma once

#include "loader/author/CheckReport.h"
#include "loader/author/ProfileText.h"
#include "platform/win32.h"

#include <string>

class CDC;
class CLayout;
class CMyFont;

namespace loader::author {

class SkinChecker {
public:
    SkinChecker(const ProfileText& layout, CheckReport& report);
    // layout.ini must open: CLayout tells the user otherwise.
    void run(CDC* pDC);

private:
    void checkSections();
    void checkLayoutValues(const CLayout& layout);
    void checkFontValues();
    void checkGaps();
    void checkNumber(const char* section, const char* key, const std::string& value);
    void checkColour(const char* key, const std::string& value);
    // Both pictures; the window's outer size as the window will take it, or
    // an empty rectangle when the picture for this display does not load.
    RECT checkPictures(CDC* pDC, CLayout& layout);
    bool checkPicture(const char* key, const char* depth, CDC* pDC, RECT& pictureRect);
    void checkMenu(CDC* pDC, CMyFont& font, int alignment, const RECT& sizeRect);
    SIZE clientSize(const RECT& sizeRect) const;

    int line(const char* section, const char* key) const;
    const ProfileText& m_layout;
    std::string m_iniPath;
    bool m_sizeUsable = true;
    CheckReport& m_report;
};

} // namespace loader::author
