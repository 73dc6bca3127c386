// The one place that knows which system the program runs on.
//
// On Windows this is simply <windows.h> and the common controls.  On Linux
// the same names are declared here and implemented by our own small layer
// under platform/linux/: files map onto POSIX descriptors, message boxes and
// dialogs become lines of terminal text.  Everything above this header is
// written against the Win32 names only.
#pragma once

#ifdef _WIN32

#include <windows.h>
#include <commctrl.h>

#else

#include <cstdint>

typedef int HFILE;
typedef int BOOL;
typedef unsigned int UINT;
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef intptr_t LONG_PTR;
typedef uintptr_t UINT_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR INT_PTR;
typedef LONG_PTR LRESULT;
typedef char CHAR;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef void* LPVOID;

struct Win32Window;  // defined by the Linux layer
typedef Win32Window* HWND;
typedef struct Win32Instance* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef INT_PTR (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define TRUE 1
#define FALSE 0
#define HFILE_ERROR (-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define FILE_TYPE_UNKNOWN 0
#define FILE_TYPE_DISK 1
#define FILE_TYPE_CHAR 2
#define FILE_TYPE_PIPE 3

#define OF_READ 0x0000
#define OF_WRITE 0x0001
#define OF_CREATE 0x1000
#define OFS_MAXPATHNAME 128

struct OFSTRUCT {
    unsigned char cBytes;
    unsigned char fFixedDisk;
    unsigned short nErrCode;
    unsigned short Reserved1;
    unsigned short Reserved2;
    char szPathName[OFS_MAXPATHNAME];
};

#define MB_OK 0x00000000
#define IDOK 1
#define IDCANCEL 2
#define SW_SHOW 5

#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_ACTIVATE 0x0006
#define WM_CLOSE 0x0010
#define WM_ENDSESSION 0x0016
#define WA_INACTIVE 0
#define WA_ACTIVE 1

#define WM_QUIT 0x0012
#define WM_USER 0x0400
#define PBM_SETPOS (WM_USER + 2)
#define PBM_SETRANGE32 (WM_USER + 6)
#define PBM_GETPOS (WM_USER + 8)
#define PM_REMOVE 0x0001

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
};

#define MAKEINTRESOURCEA(i) ((LPCSTR)(uintptr_t)(i))
#define LOWORD(l) ((unsigned short)(((uintptr_t)(l)) & 0xffff))

/* Files */
HFILE OpenFile(LPCSTR name, OFSTRUCT* of, UINT style);
UINT _lread(HFILE file, LPVOID buffer, UINT count);
UINT _lwrite(HFILE file, LPCSTR buffer, UINT count);
LONG _llseek(HFILE file, LONG offset, int origin);
HFILE _lclose(HFILE file);
DWORD GetFileSize(void* file, DWORD* high);
// A file of the disk, a character device or a pipe (also a socket).
DWORD GetFileType(void* file);
BOOL DeleteFileA(LPCSTR name);

/* Time and process */
DWORD GetTickCount(void);
DWORD GetCurrentProcessId(void);

/* Start-up */
HMODULE LoadLibraryA(LPCSTR name);
void InitCommonControls(void);

/* Windows and dialogs */
HWND CreateDialogParamA(HINSTANCE instance, LPCSTR templ, HWND owner,
                        DLGPROC proc, LPARAM param);
BOOL ShowWindow(HWND window, int command);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size);
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templ, HWND owner,
                        DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam);

/* Messages: the Linux layer delivers every message at once, so none ever
   waits to be taken. */
BOOL PeekMessageA(MSG* message, HWND window, UINT first, UINT last, UINT remove);
BOOL IsDialogMessageA(HWND dialog, MSG* message);
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageA(const MSG* message);
void PostQuitMessage(int exit_code);

#endif

// A file handle as GetFileSize takes it: the HFILE itself on both systems.
inline void* file_size_handle(HFILE file) {
    return reinterpret_cast<void*>(static_cast<intptr_t>(file));
}
