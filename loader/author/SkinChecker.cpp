#include "loader/author/SkinChecker.h"

#include "common/ProgramLimits.h"
#include "common/SplitAtEquals.h"
#include "loader/author/ValueText.h"
#include "platform/framework/CDC.h"
#include "platform/framework/CFile.h"
#include "skin/CLayout.h"
#include "skin/CMenuCollector.h"
#include "skin/CMyBitmap.h"
#include "skin/CMyFont.h"
#include "skin/CMyMenu.h"

#include <map>
#include <vector>

namespace loader::author {

namespace {
const char kLayoutFile[] = "layout.ini";
// The window's styles (CSetupWnd::Create): pop-up, caption, system menu,
// window edge; its client area is the outer size less this frame.
const DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
const DWORD kWindowExStyle = WS_EX_WINDOWEDGE;
const char kProbeClass[] = "CorvaneCheckFrame";

const char kAbsent[] = "\x01";

// The value as the program reads it; present is false when the key is absent.
std::string readValue(const std::string& iniPath, const char* section, const char* key,
                      bool& present) {
    char buffer[kLayoutValueSize] = {};
    GetPrivateProfileStringA(section, key, kAbsent, buffer, kLayoutValueSize, iniPath.c_str());
    present = std::string(buffer) != kAbsent;
    return present ? buffer : "";
}

bool equalsNoCase(const std::string& a, const char* b) {
    return lstrcmpiA(a.c_str(), b) == 0;
}

std::string sizeText(long width, long height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// Why a picture that opens is not one CMyBitmap draws, from its headers.
std::string refusalReason(const char* fileName) {
    HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "cannot be read";
    }
    BYTE head[54] = {};
    DWORD read = 0;
    ReadFile(file, head, sizeof head, &read, nullptr);
    CloseHandle(file);
    auto dword = [&](int at) {
        return static_cast<DWORD>(head[at] | head[at + 1] << 8 | head[at + 2] << 16 |
                                  static_cast<DWORD>(head[at + 3]) << 24);
    };
    if (read < 2 || head[0] != 'B' || head[1] != 'M') {
        return "is not a BMP file (it does not start with \"BM\")";
    }
    if (read < 18 || dword(14) != 40) {
        return "has a " + std::to_string(read < 18 ? 0 : dword(14)) +
               "-byte information header; only the 40-byte one is read";
    }
    if (read < 54) {
        return "is shorter than its headers";
    }
    int bitCount = head[28] | head[29] << 8;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8) {
        return "has " + std::to_string(bitCount) +
               " bits per pixel; only 1, 4 and 8 bits with a colour table are drawn";
    }
    if (dword(30) != 0) {
        return "is compressed; only uncompressed rows are drawn";
    }
    return "is damaged: its size, planes, colour table or rows do not fit the file";
}

LRESULT CALLBACK probeProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hWnd, message, wParam, lParam);
}
} // namespace

SkinChecker::SkinChecker(const ProfileText& layout, CheckReport& report)
    : m_layout(layout), m_report(report) {}

int SkinChecker::line(const char* section, const char* key) const {
    return m_layout.entryLine(section, key);
}

void SkinChecker::run(CDC* pDC) {
    checkSections();
    CLayout layout;
    if (!layout.Load()) {
        return;
    }
    m_iniPath = layout.GetIniPath();
    checkLayoutValues(layout);
    checkFontValues();
    checkGaps();
    RECT sizeRect = checkPictures(pDC, layout);
    CMyFont font;
    if (!font.Load(layout.GetIniPath())) {
        m_report.error(kLayoutFile, m_layout.sectionLine("FONT"),
                       "no font results from [FONT]: the window is not created");
        return;
    }
    checkMenu(pDC, font, layout.GetAlignment(), sizeRect);
}

void SkinChecker::checkSections() {
    struct Expected {
        const char* name;
        bool needed;
        const char* without;
    };
    const Expected sections[] = {
        {"LAYOUT", false, "the window is 560 x 400 with a right-aligned menu and no caption text"},
        {"BITMAP", true, "no picture is named, and the window is not created"},
        {"FONT", false, "the menu is 20-pixel bold Arial, red under the mouse and green otherwise"},
        {"GAPS", false, "the menu starts 20 pixels down, 10 from the edge, 10 between items"},
        {"MENU", true, "the window has no items and is not created"},
    };
    for (const Expected& section : sections) {
        int header = m_layout.sectionLine(section.name);
        bool empty = m_layout.sectionLines(section.name).empty();
        if (!empty) {
            continue;
        }
        std::string what = std::string("[") + section.name + "] is " +
                           (header == 0 ? "missing" : "empty") + ": " + section.without;
        m_report.add(kLayoutFile, header, section.needed ? Severity::Error : Severity::Warning,
                     what);
    }
}

void SkinChecker::checkLayoutValues(const CLayout& layout) {
    bool present = false;
    std::string size = readValue(m_iniPath, "LAYOUT", "SIZE", present);
    int sizeLine = line("LAYOUT", "SIZE");
    if (present && !equalsNoCase(size, "BITMAP")) {
        std::vector<std::string> parts = splitAtCommas(size);
        if (parts.size() == 1) {
            m_report.error(kLayoutFile, sizeLine,
                           "SIZE " + quoted(size) + " has no comma: the width is read as 0 and " +
                               "the whole value as the height");
        } else {
            checkNumber("LAYOUT", "SIZE width", parts[0]);
            checkNumber("LAYOUT", "SIZE height", size.substr(size.find(',') + 1));
        }
        RECT rect = layout.GetSizeRect();
        bool noSize = rect.right == 0 && rect.bottom == 0;
        if (!noSize && (rect.right <= 0 || rect.bottom <= 0)) {
            m_sizeUsable = false;
            m_report.error(kLayoutFile, sizeLine,
                           "SIZE gives a window of " + sizeText(rect.right, rect.bottom) +
                               " pixels, which cannot show the picture or the menu");
        }
    }
    std::string alignment = readValue(m_iniPath, "LAYOUT", "ALIGNMENT", present);
    if (present && !equalsNoCase(alignment, "RIGHT") && !equalsNoCase(alignment, "CENTER") &&
        !equalsNoCase(alignment, "LEFT")) {
        m_report.warning(kLayoutFile, line("LAYOUT", "ALIGNMENT"),
                         "ALIGNMENT " + quoted(alignment) +
                             " is not RIGHT, CENTER or LEFT: the menu is aligned left");
    }
}

void SkinChecker::checkNumber(const char* section, const char* key, const std::string& value) {
    std::string name = key;
    std::string keyName = name.substr(0, name.find(' '));
    int at = line(section, keyName.c_str());
    NumberForm form = numberForm(value);
    if (form == NumberForm::None) {
        m_report.error(kLayoutFile, at,
                       name + " " + quoted(value) + " is not a number: the program reads 0");
    } else if (form == NumberForm::Cut) {
        m_report.warning(kLayoutFile, at,
                         name + " " + quoted(value) + " is read as " +
                             std::to_string(numberValue(value)) + "; the rest is ignored");
    }
}

void SkinChecker::checkFontValues() {
    bool present = false;
    std::string size = readValue(m_iniPath, "FONT", "Size", present);
    if (present) {
        checkNumber("FONT", "Size", size);
    }
    std::string face = readValue(m_iniPath, "FONT", "FaceName", present);
    if (present && face.size() > kFaceNameLength) {
        m_report.warning(kLayoutFile, line("FONT", "FaceName"),
                         "FaceName has " + std::to_string(face.size()) +
                             " characters: the font is looked for as " +
                             quoted(face.substr(0, kFaceNameLength)));
    }
    for (const char* key : {"Focus", "NonFocus"}) {
        std::string colour = readValue(m_iniPath, "FONT", key, present);
        if (present) {
            checkColour(key, colour);
        }
    }
}

void SkinChecker::checkColour(const char* key, const std::string& value) {
    int at = line("FONT", key);
    std::vector<std::string> parts = splitAtCommas(value);
    const char* names[] = {"red", "green", "blue"};
    if (parts.size() < 3) {
        m_report.error(kLayoutFile, at,
                       std::string(key) + " " + quoted(value) + " has " +
                           std::to_string(parts.size()) + " of the 3 parts red,green,blue: " +
                           (parts.size() == 1 ? "red and green are" : "green is") +
                           " read as 0 and the last number is blue");
        return;
    }
    for (size_t i = 0; i < 3; ++i) {
        // The blue part is read from the rest of the text, commas and all.
        NumberForm form = numberForm(parts[i]);
        if (form == NumberForm::None) {
            m_report.error(kLayoutFile, at,
                           std::string(key) + " " + quoted(value) + ": " + names[i] + " " +
                               quoted(parts[i]) + " is not a number and is read as 0");
        } else if (form == NumberForm::Cut) {
            m_report.warning(kLayoutFile, at,
                             std::string(key) + " " + quoted(value) + ": " + names[i] + " " +
                                 quoted(parts[i]) + " is read as " +
                                 std::to_string(numberValue(parts[i])));
        } else if (numberValue(parts[i]) < 0 || numberValue(parts[i]) > 255) {
            m_report.warning(kLayoutFile, at,
                             std::string(key) + " " + quoted(value) + ": " + names[i] + " " +
                                 std::to_string(numberValue(parts[i])) +
                                 " is outside 0 to 255 and is read as " +
                                 std::to_string(numberValue(parts[i]) & 0xFF));
        }
    }
    if (parts.size() > 3) {
        m_report.warning(kLayoutFile, at,
                         std::string(key) + " " + quoted(value) +
                             " has more than 3 parts: what follows blue is ignored");
    }
}

void SkinChecker::checkGaps() {
    for (const char* key : {"VERTICAL", "HORIZONTAL", "IN_BETWEEN"}) {
        bool present = false;
        std::string value = readValue(m_iniPath, "GAPS", key, present);
        if (present) {
            checkNumber("GAPS", key, value);
        }
    }
}

RECT SkinChecker::checkPictures(CDC* pDC, CLayout& layout) {
    RECT pictures[2] = {};
    bool loaded[2] = {};
    loaded[0] = checkPicture("16", "16-colour", pDC, pictures[0]);
    loaded[1] = checkPicture("256", "256-colour and deeper", pDC, pictures[1]);

    RECT sizeRect = layout.GetSizeRect();
    bool fromPicture =
        sizeRect.left == 0 && sizeRect.top == 0 && sizeRect.right == 0 && sizeRect.bottom == 0;
    const char* keys[] = {"16", "256"};
    // A window of no size has been reported; the picture and the menu are
    // not measured against it.
    if (!m_sizeUsable) {
        return RECT{0, 0, 0, 0};
    }
    for (int i = 0; i < 2; ++i) {
        if (!loaded[i] || fromPicture) {
            continue;
        }
        if (pictures[i].right != sizeRect.right || pictures[i].bottom != sizeRect.bottom) {
            m_report.warning(kLayoutFile, line("BITMAP", keys[i]),
                             "the picture is " + sizeText(pictures[i].right, pictures[i].bottom) +
                                 " pixels and SIZE " + sizeText(sizeRect.right, sizeRect.bottom) +
                                 ": it is stretched out of shape");
        }
    }
    if (fromPicture && loaded[0] && loaded[1] &&
        (pictures[0].right != pictures[1].right || pictures[0].bottom != pictures[1].bottom)) {
        m_report.warning(kLayoutFile, line("BITMAP", "256"),
                         "SIZE takes the picture's size, and the two pictures differ (" +
                             sizeText(pictures[0].right, pictures[0].bottom) + " and " +
                             sizeText(pictures[1].right, pictures[1].bottom) +
                             "): the window and menu change with the display");
    }
    // The window's own choice, for the display this machine has.
    int screenKey = lstrcmpiA(layout.GetBitmapFileName(pDC), "") == 0 ? -1
                    : pDC->GetDeviceCaps(BITSPIXEL) < 8               ? 0
                                                                      : 1;
    if (!fromPicture) {
        return sizeRect;
    }
    return screenKey >= 0 && loaded[screenKey] ? pictures[screenKey] : RECT{0, 0, 0, 0};
}

bool SkinChecker::checkPicture(const char* key, const char* depth, CDC* pDC, RECT& pictureRect) {
    bool present = false;
    std::string name = readValue(m_iniPath, "BITMAP", key, present);
    int at = line("BITMAP", key);
    if (name.empty()) {
        m_report.error(kLayoutFile, at,
                       std::string("no picture for ") + depth + " displays (key " + key +
                           " of [BITMAP]): there the window is not created");
        return false;
    }
    if (!CFile::TestOpen(name.c_str(), CFile::modeRead)) {
        m_report.error(kLayoutFile, at,
                       "picture " + quoted(name) + " for " + depth +
                           " displays is missing or cannot be opened");
        return false;
    }
    CMyBitmap picture;
    if (!picture.Load(name.c_str(), pDC)) {
        m_report.error(kLayoutFile, at,
                       "picture " + quoted(name) + " " + refusalReason(name.c_str()) +
                           ": the window is not created on " + depth + " displays");
        return false;
    }
    pictureRect = picture.GetPictureRect();
    return true;
}

SIZE SkinChecker::clientSize(const RECT& sizeRect) const {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &probeProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kProbeClass;
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(kWindowExStyle, kProbeClass, "", kWindowStyle, 0, 0,
                                  sizeRect.right - sizeRect.left, sizeRect.bottom - sizeRect.top,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    RECT client = {0, 0, sizeRect.right, sizeRect.bottom};
    if (window != nullptr) {
        GetClientRect(window, &client);
        DestroyWindow(window);
    }
    return SIZE{client.right - client.left, client.bottom - client.top};
}

void SkinChecker::checkMenu(CDC* pDC, CMyFont& font, int alignment, const RECT& sizeRect) {
    std::vector<ProfileText::ListLine> lines = m_layout.sectionLines("MENU");
    if (ProfileText::listSize(lines) > kLayoutSectionSize) {
        m_report.warning(kLayoutFile, m_layout.sectionLine("MENU"),
                         "[MENU] is " + std::to_string(ProfileText::listSize(lines)) +
                             " bytes as a section list; the program reads 1,024, so the items "
                             "past that are lost");
    }
    CMenuCollector menu;
    menu.Load(m_iniPath.c_str(), pDC, &font, alignment, sizeRect);
    SIZE client = {0, 0};
    if (sizeRect.right > 0 && sizeRect.bottom > 0) {
        client = clientSize(sizeRect);
    }
    std::map<int, int> commandLines;
    int index = 0;
    for (const ProfileText::ListLine& entry : lines) {
        CString key, value;
        if (!SplitAtEquals(entry.text.c_str(), key, value)) {
            m_report.warning(kLayoutFile, entry.line,
                             "menu line " + quoted(entry.text) + " has no \"=\": it gives no item");
            continue;
        }
        CMyMenu* item = menu.GetItem(index++);
        std::vector<std::string> parts = splitAtCommas(static_cast<LPCSTR>(value));
        if (parts.size() < 3) {
            m_report.error(kLayoutFile, entry.line,
                           "menu line " + quoted(entry.text) + " has no command number (" +
                               "LABEL,COMMAND, with both commas): choosing it does nothing");
            continue;
        }
        if (numberForm(parts[1]) == NumberForm::None) {
            m_report.error(kLayoutFile, entry.line,
                           "command " + quoted(parts[1]) +
                               " is not a number: the item carries 0 and does nothing");
            continue;
        }
        int command = numberValue(parts[1]);
        if (command < static_cast<int>(kFirstCommand) || command > static_cast<int>(kLastCommand)) {
            m_report.error(kLayoutFile, entry.line,
                           "command " + std::to_string(command) + " is outside " +
                               std::to_string(kFirstCommand) + " to " +
                               std::to_string(kLastCommand) + ": the window ignores it");
        }
        auto seen = commandLines.find(command);
        if (seen != commandLines.end()) {
            m_report.warning(kLayoutFile, entry.line,
                             "command " + std::to_string(command) + " is already on line " +
                                 std::to_string(seen->second) + ": both items do the same");
        } else {
            commandLines[command] = entry.line;
        }
        // Without a window size (reported already) there is nothing to place
        // the items in.
        if (item == nullptr || client.cx <= 0 || client.cy <= 0) {
            continue;
        }
        const RECT& rect = item->GetRect();
        bool inside =
            rect.left >= 0 && rect.top >= 0 && rect.right <= client.cx && rect.bottom <= client.cy;
        bool touches =
            rect.left < client.cx && rect.top < client.cy && rect.right > 0 && rect.bottom > 0;
        if (!inside) {
            std::string where = "item " + quoted(static_cast<LPCSTR>(item->GetText())) + " at (" +
                                std::to_string(rect.left) + ", " + std::to_string(rect.top) +
                                ") to (" + std::to_string(rect.right) + ", " +
                                std::to_string(rect.bottom) + ") ";
            std::string client_text = "the client area of " + sizeText(client.cx, client.cy);
            if (touches) {
                m_report.warning(kLayoutFile, entry.line,
                                 where + "is cut off by the edge of " + client_text);
            } else {
                m_report.error(kLayoutFile, entry.line,
                               where + "lies outside " + client_text +
                                   ": it cannot be seen or clicked");
            }
        }
    }
}

} // namespace loader::author
