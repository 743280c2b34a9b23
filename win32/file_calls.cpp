// The wide file and folder calls with their ANSI fallbacks, for the systems that only stub the wide ones.
#include "win32/file_calls.h"

#include "win32/program_folder.h"

namespace {

bool notImplemented() { return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED; }

// Looked up, not imported: Windows 95 lacks both calls, and an import would keep the program from loading there.
template <typename Call> Call systemCall(const char* name)
{
    return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

// Both paths spelt for the ANSI twin; the failure left as "not implemented" where one cannot be.
bool ansiPair(const std::wstring& from, const std::wstring& to, std::string& ansiFrom, std::string& ansiTo)
{
    if (ansiPath(from, ansiFrom) && ansiPath(to, ansiTo))
        return true;
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

bool ansiOne(const std::wstring& path, std::string& spelt)
{
    if (ansiPath(path, spelt))
        return true;
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

bool renameTo(const std::wstring& from, const std::wstring& to)
{
    if (wideFileCalls().moveFile(from.c_str(), to.c_str()))
        return true;
    if (!notImplemented())
        return false;
    std::string ansiFrom, ansiTo;
    return ansiPair(from, to, ansiFrom, ansiTo) && MoveFileA(ansiFrom.c_str(), ansiTo.c_str());
}

bool exists(const std::wstring& path)
{
    uint64_t length = 0;
    DWORD attributes = 0;
    return findFileEntry(path, length, attributes);
}

std::wstring fromAnsi(const char* text)
{
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (units <= 1)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], units);
    wide.resize(static_cast<size_t>(units - 1));
    return wide;
}

} // namespace

WideFileCalls& wideFileCalls()
{
    static WideFileCalls calls{CreateFileW,
                               DeleteFileW,
                               MoveFileW,
                               systemCall<decltype(WideFileCalls::moveFileEx)>("MoveFileExW"),
                               systemCall<decltype(WideFileCalls::getFileAttributesEx)>("GetFileAttributesExW"),
                               FindFirstFileW,
                               CreateDirectoryW,
                               CopyFileW,
                               SetCurrentDirectoryW,
                               GetModuleFileNameW,
                               GetShortPathNameW,
                               CreateMutexW};
    return calls;
}

bool ansiPath(const std::wstring& path, std::string& spelt)
{
    std::wstring plain = path;
    if (plain.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        plain = L"\\\\" + plain.substr(8);
    else if (plain.compare(0, 4, L"\\\\?\\") == 0)
        plain = plain.substr(4);
    return ansiSpelling(plain, spelt) && spelt.size() < MAX_PATH;
}

HANDLE createFileAt(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    const HANDLE handle = wideFileCalls().createFile(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
    if (handle != INVALID_HANDLE_VALUE || !notImplemented())
        return handle;
    std::string spelt;
    if (!ansiOne(path, spelt))
        return INVALID_HANDLE_VALUE;
    return CreateFileA(spelt.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

bool deleteFileAt(const std::wstring& path)
{
    if (wideFileCalls().deleteFile(path.c_str()))
        return true;
    if (!notImplemented())
        return false;
    std::string spelt;
    return ansiOne(path, spelt) && DeleteFileA(spelt.c_str());
}

bool moveFileTo(const std::wstring& from, const std::wstring& to, bool replace, const std::wstring& aside)
{
    const auto moveFileEx = wideFileCalls().moveFileEx;
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (moveFileEx != nullptr) {
        if (moveFileEx(from.c_str(), to.c_str(), flags))
            return true;
        if (!notImplemented())
            return false;
    }
    if (!replace || !exists(to))
        return renameTo(from, to);
    // No rename over a file here: the old one goes aside first and comes back when the new one cannot take its
    // place, so one of them always has the name.
    deleteFileAt(aside);
    if (!renameTo(to, aside))
        return false;
    if (!renameTo(from, to)) {
        const DWORD error = GetLastError();
        renameTo(aside, to);
        SetLastError(error);
        return false;
    }
    deleteFileAt(aside);
    return true;
}

bool findFileEntry(const std::wstring& path, uint64_t& length, DWORD& attributes)
{
    const auto getAttributes = wideFileCalls().getFileAttributesEx;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (getAttributes != nullptr) {
        if (getAttributes(path.c_str(), GetFileExInfoStandard, &data)) {
            length = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            attributes = data.dwFileAttributes;
            return true;
        }
        if (!notImplemented())
            return false;
    }
    WIN32_FIND_DATAW wide;
    HANDLE search = wideFileCalls().findFirstFile(path.c_str(), &wide);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        length = (static_cast<uint64_t>(wide.nFileSizeHigh) << 32) | wide.nFileSizeLow;
        attributes = wide.dwFileAttributes;
        return true;
    }
    std::string spelt;
    if (!notImplemented() || !ansiOne(path, spelt))
        return false;
    WIN32_FIND_DATAA ansi;
    search = FindFirstFileA(spelt.c_str(), &ansi);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    length = (static_cast<uint64_t>(ansi.nFileSizeHigh) << 32) | ansi.nFileSizeLow;
    attributes = ansi.dwFileAttributes;
    return true;
}

bool createFolderAt(const std::wstring& path)
{
    if (wideFileCalls().createDirectory(path.c_str(), nullptr))
        return true;
    std::string spelt;
    return notImplemented() && ansiOne(path, spelt) && CreateDirectoryA(spelt.c_str(), nullptr);
}

bool copyFileTo(const std::wstring& from, const std::wstring& to)
{
    if (wideFileCalls().copyFile(from.c_str(), to.c_str(), TRUE))
        return true;
    std::string ansiFrom, ansiTo;
    return notImplemented() && ansiPair(from, to, ansiFrom, ansiTo) &&
           CopyFileA(ansiFrom.c_str(), ansiTo.c_str(), TRUE);
}

bool enterFolder(const std::wstring& path)
{
    if (wideFileCalls().setCurrentDirectory(path.c_str()))
        return true;
    std::string spelt;
    return notImplemented() && ansiOne(path, spelt) && SetCurrentDirectoryA(spelt.c_str());
}

std::wstring moduleFileName()
{
    // The call cuts the path to the buffer and fills it: grow until the whole path fits.
    std::wstring path(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD length = wideFileCalls().getModuleFileName(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            break;
        if (length < path.size() - 1) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
    if (!notImplemented())
        return std::wstring();
    // One byte more than the call may fill, so the path is terminated even when it was cut short.
    char ansi[MAX_PATH + 1] = {};
    if (GetModuleFileNameA(nullptr, ansi, MAX_PATH) == 0)
        return std::wstring();
    return fromAnsi(ansi);
}

DWORD shortPathName(const std::wstring& path, wchar_t* buffer, DWORD size)
{
    const DWORD length = wideFileCalls().getShortPathName(path.c_str(), buffer, size);
    std::string spelt;
    if (length != 0 || !notImplemented() || !ansiOne(path, spelt))
        return length;
    char ansi[MAX_PATH + 1] = {};
    const DWORD got = GetShortPathNameA(spelt.c_str(), ansi, MAX_PATH);
    if (got == 0 || got >= MAX_PATH)
        return 0;
    const std::wstring wide = fromAnsi(ansi);
    if (wide.size() >= size)
        return static_cast<DWORD>(wide.size() + 1);
    wide.copy(buffer, wide.size());
    buffer[wide.size()] = L'\0';
    return static_cast<DWORD>(wide.size());
}

HANDLE createNamedMutex(const std::wstring& name)
{
    const HANDLE mutex = wideFileCalls().createMutex(nullptr, FALSE, name.c_str());
    std::string spelt;
    if (mutex != nullptr || !notImplemented() || !ansiSpelling(name, spelt))
        return mutex;
    return CreateMutexA(nullptr, FALSE, spelt.c_str());
}
