// layout.ini: where it is, the window size, menu alignment and caption from
// its LAYOUT section, and the background picture's name for the display's
// colour depth from its BITMAP section.
#pragma once

#include "platform/framework/CObject.h"
#include "platform/framework/CString.h"

class CDC;

class CLayout : public CObject {
    DECLARE_DYNCREATE(CLayout)

public:
    enum Alignment { alignLeft = 1, alignCenter = 2, alignRight = 3 };

    CLayout();
    ~CLayout() override;

    // 1 when layout.ini was found and read; 0 when it cannot be opened, after
    // telling the user.
    int Load();
    // The picture's file name for the depth of pDC's device; kept as well.
    LPCSTR GetBitmapFileName(CDC* pDC);
    RECT GetSizeRect() const;
    int GetAlignment() const { return m_alignment; }
    // Copies the caption into caption and returns its length.
    int GetCaption(CString& caption) const;
    LPCSTR GetIniPath() const { return m_iniPath; }
    // Builds the path of layout.ini in the current directory into path; 1 when
    // the file opens for reading.
    int LocateIniFile(CString& path);

private:
    void ParseSize(const CString& value);

    CString m_bitmapFileName;
    CString m_caption;
    CString m_iniPath;
    int m_alignment = alignRight;
    int m_width = 0;
    int m_height = 0;
};
