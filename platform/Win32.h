#pragma once

// The Win32 calls the system makes, under their Windows names.
// Under _WIN32 these are the real API; elsewhere platform/ provides a stand-in
// with the same names, types, codes and semantics (see Platform.h for the
// conventions of the stand-in).

#if defined(_WIN32)

#  include <winsock2.h>
#  include <windows.h>
#  include <dbghelp.h>

#else

#  include <cstdint>
#  include <unistd.h>  // gethostname

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef uint32_t REGSAM;
typedef const char* LPCSTR;
typedef const char* PCSTR;
typedef char* LPSTR;
typedef DWORD* LPDWORD;
typedef BYTE* LPBYTE;
typedef const BYTE* LPCBYTE;
typedef void* HWND;
typedef void* LPSECURITY_ATTRIBUTES;
typedef void* PFILETIME;

struct ZentraRegistryKey;
typedef ZentraRegistryKey* HKEY;
typedef HKEY* PHKEY;

#  ifndef TRUE
#    define TRUE 1
#  endif
#  ifndef FALSE
#    define FALSE 0
#  endif

#  define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000u)
#  define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
#  define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002u)
#  define HKEY_USERS ((HKEY)(uintptr_t)0x80000003u)

// Error codes (winerror.h).
#  define ERROR_SUCCESS 0L
#  define ERROR_FILE_NOT_FOUND 2L
#  define ERROR_PATH_NOT_FOUND 3L
#  define ERROR_ACCESS_DENIED 5L
#  define ERROR_INVALID_HANDLE 6L
#  define ERROR_NOT_ENOUGH_MEMORY 8L
#  define ERROR_FILE_EXISTS 80L
#  define ERROR_INVALID_PARAMETER 87L
#  define ERROR_SHARING_VIOLATION 32L
#  define ERROR_FILENAME_EXCED_RANGE 206L
#  define ERROR_ALREADY_EXISTS 183L
#  define ERROR_MORE_DATA 234L
#  define ERROR_NO_MORE_ITEMS 259L
#  define ERROR_BADDB 1009L
#  define ERROR_BADKEY 1010L
#  define ERROR_CANTOPEN 1011L
#  define ERROR_CANTREAD 1012L
#  define ERROR_CANTWRITE 1013L
// Further codes the stand-in reports (errno translation, registry paths).
#  define ERROR_TOO_MANY_OPEN_FILES 4L
#  define ERROR_NOT_SAME_DEVICE 17L
#  define ERROR_GEN_FAILURE 31L
#  define ERROR_DISK_FULL 112L
#  define ERROR_DIR_NOT_EMPTY 145L
#  define ERROR_BAD_PATHNAME 161L
#  define ERROR_KEY_DELETED 1018L
#  define ERROR_IO_DEVICE 1117L
#  define ERROR_CANT_RESOLVE_FILENAME 1921L

// Registry value types.
#  define REG_NONE 0
#  define REG_SZ 1
#  define REG_EXPAND_SZ 2
#  define REG_BINARY 3
#  define REG_DWORD 4
#  define REG_MULTI_SZ 7
#  define REG_QWORD 11

// Registry access rights and options.
#  define KEY_QUERY_VALUE 0x0001
#  define KEY_SET_VALUE 0x0002
#  define KEY_CREATE_SUB_KEY 0x0004
#  define KEY_ENUMERATE_SUB_KEYS 0x0008
#  define KEY_READ 0x20019
#  define KEY_WRITE 0x20006
#  define KEY_ALL_ACCESS 0xF003F
#  define REG_OPTION_NON_VOLATILE 0x00000000L
#  define REG_CREATED_NEW_KEY 0x00000001L
#  define REG_OPENED_EXISTING_KEY 0x00000002L

// Message boxes.
#  define MB_OK 0x00000000L
#  define MB_ICONERROR 0x00000010L
#  define MB_ICONINFORMATION 0x00000040L
#  define IDOK 1

// MoveFileExA flags.
#  define MOVEFILE_REPLACE_EXISTING 0x00000001
#  define MOVEFILE_COPY_ALLOWED 0x00000002

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LONG RegCloseKey(HKEY key);
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LONG RegQueryInfoKeyA(HKEY key, LPSTR keyClass, LPDWORD keyClassSize, LPDWORD reserved, LPDWORD subKeys,
                      LPDWORD maxSubKeyLen, LPDWORD maxClassLen, LPDWORD values, LPDWORD maxValueNameLen,
                      LPDWORD maxValueLen, LPDWORD securityDescriptorSize, PFILETIME lastWriteTime);
LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR keyClass,
                   LPDWORD keyClassSize, PFILETIME lastWriteTime);
LONG RegDeleteValueA(HKEY key, LPCSTR valueName);
LONG RegDeleteKeyA(HKEY key, LPCSTR subKey);

BOOL CopyFileA(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists);
BOOL MoveFileA(LPCSTR existingFile, LPCSTR newFile);
BOOL MoveFileExA(LPCSTR existingFile, LPCSTR newFile, DWORD flags);
BOOL DeleteFileA(LPCSTR fileName);
DWORD GetLastError(void);
void SetLastError(DWORD code);

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Of the debug-help library: creates every missing folder of the path up to its
// last backslash.
BOOL MakeSureDirectoryPathExists(PCSTR dirPath);

#endif
