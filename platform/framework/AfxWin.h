// The framework in one include: every class the system builds on, and the
// program's entry and its global functions.
#pragma once

#include "platform/framework/CAnimateCtrl.h"
#include "platform/framework/CBitmap.h"
#include "platform/framework/CBrush.h"
#include "platform/framework/CClientDC.h"
#include "platform/framework/CDC.h"
#include "platform/framework/CDataExchange.h"
#include "platform/framework/CDialog.h"
#include "platform/framework/CFile.h"
#include "platform/framework/CFont.h"
#include "platform/framework/CGdiObject.h"
#include "platform/framework/CObject.h"
#include "platform/framework/CPaintDC.h"
#include "platform/framework/CPalette.h"
#include "platform/framework/CPen.h"
#include "platform/framework/CPoint.h"
#include "platform/framework/CProgressCtrl.h"
#include "platform/framework/CPtrList.h"
#include "platform/framework/CRect.h"
#include "platform/framework/CRuntimeClass.h"
#include "platform/framework/CSize.h"
#include "platform/framework/CString.h"
#include "platform/framework/CWinApp.h"
#include "platform/framework/CWnd.h"
#include "platform/framework/MessageMap.h"
#include "platform/framework/ModuleInstance.h"
#include "platform/framework/TextToInt.h"

// Runs the application object: the title is loaded if it has none, then
// InitInstance, the message loop when InitInstance succeeded, and
// ExitInstance, whose result is returned. -1 without an application object.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

// A message box with string nIDPrompt, the application title as caption and
// the main window (if any) as owner. A type without icon bits gets the
// exclamation icon. Returns MessageBoxA's answer.
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK);
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK);

// The name of a window class with these properties whose window procedure is
// the framework's; the class is registered on first use. The name stays
// valid for the life of the program.
LPCSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr,
                           HBRUSH hbrBackground = nullptr, HICON hIcon = nullptr);
