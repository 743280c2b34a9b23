// The test kit's files, registry, clock, data-file images, window lookup and off-screen pictures.
#include "tests/support/kit.h"

#include <cstdio>
#include <cstring>

namespace kit {

bool ScratchFolder::enter(const std::string& name)
{
    leave();
    GetCurrentDirectoryA(sizeof previous_, previous_);
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    char folder[MAX_PATH + 64];
    std::snprintf(folder, sizeof folder, "%s%s-%lu", temp, name.c_str(), GetCurrentProcessId());
    path_ = folder;
    // What a crashed earlier run left must not show in this one.
    removeFiles();
    RemoveDirectoryA(path_.c_str());
    return CreateDirectoryA(path_.c_str(), nullptr) && SetCurrentDirectoryA(path_.c_str());
}

void ScratchFolder::leave()
{
    if (path_.empty())
        return;
    SetCurrentDirectoryA(previous_);
    removeFiles();
    RemoveDirectoryA(path_.c_str());
    path_.clear();
}

void ScratchFolder::removeFiles()
{
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            const std::string file = path_ + "\\" + found.cFileName;
            SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(file.c_str());
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::string moduleFolder()
{
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string text(path, length);
    return text.substr(0, text.rfind('\\') + 1);
}

Bytes fileBytes(const std::string& path)
{
    Bytes bytes;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        read = 0;
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

std::string fileText(const std::string& path)
{
    const Bytes bytes = fileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

bool writeFile(const std::string& path, const Bytes& bytes)
{
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool whole = bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                                   nullptr) &&
                                         written == bytes.size());
    return CloseHandle(file) && whole;
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

namespace {

struct LateClose {
    HANDLE handle;
    DWORD milliseconds;
};

// A thread procedure: on 32 bits it must be WINAPI, which a lambda cannot be.
DWORD WINAPI closeLate(LPVOID parameter)
{
    const LateClose late = *static_cast<LateClose*>(parameter);
    delete static_cast<LateClose*>(parameter);
    Sleep(late.milliseconds);
    CloseHandle(late.handle);
    return 0;
}

} // namespace

HANDLE closeHandleLater(HANDLE handle, DWORD milliseconds)
{
    auto* late = new LateClose{handle, milliseconds};
    const HANDLE thread = CreateThread(nullptr, 0, closeLate, late, 0, nullptr);
    if (thread == nullptr)
        delete late;
    return thread;
}

Bytes patterned(size_t length, unsigned salt)
{
    Bytes bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<uint8_t>(i * 29 + salt * 7 + 1);
    return bytes;
}

void deleteKeyTree(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    // Names first, deletions after: deleting while enumerating shifts the indexes.
    std::vector<std::string> children;
    char name[256];
    DWORD length = sizeof name;
    for (DWORD index = 0; RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++index, length = sizeof name)
        children.emplace_back(name);
    RegCloseKey(key);
    for (const std::string& child : children)
        deleteKeyTree(root, path + "\\" + child);
    RegDeleteKeyA(root, path.c_str());
}

bool keyExists(HKEY root, const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

Bytes registryValue(HKEY root, const char* path, const char* name, DWORD* type, bool* found)
{
    if (found != nullptr)
        *found = false;
    Bytes bytes;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return bytes;
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    if (result == ERROR_SUCCESS) {
        bytes.resize(size);
        result = RegQueryValueExA(key, name, nullptr, type, bytes.data(), &size);
        bytes.resize(result == ERROR_SUCCESS ? size : 0);
    }
    RegCloseKey(key);
    if (found != nullptr)
        *found = result == ERROR_SUCCESS;
    return bytes;
}

bool setRegistryValue(HKEY root, const char* path, const char* name, DWORD type, const Bytes& bytes)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExA(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

void deleteRegistryValue(HKEY root, const char* path, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
}

bool storeAndReadBack(HKEY key, const char* name, DWORD type, const Bytes& bytes, Bytes& readBack)
{
    if (RegSetValueExA(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())) != ERROR_SUCCESS)
        return false;
    readBack.assign(1024, 0);
    DWORD length = static_cast<DWORD>(readBack.size());
    if (RegQueryValueExA(key, name, nullptr, nullptr, readBack.data(), &length) != ERROR_SUCCESS)
        return false;
    readBack.resize(length);
    return true;
}

void forgetProgramRegistry()
{
    deleteKeyTree(HKEY_CURRENT_USER, kVeskKey);
    deleteRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "Tolvar");
    deleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
}

bool leaveWindowsUnmanaged(const char* exeName)
{
    const std::string path = std::string(kAppDefaultsKey) + "\\" + exeName + "\\X11 Driver";
    return setRegistryValue(HKEY_CURRENT_USER, path.c_str(), "Managed", REG_SZ, Bytes{'N', 0});
}

SavedValue::SavedValue(HKEY root, const char* path, const char* name)
    : root_(root), path_(path), name_(name), bytes_(registryValue(root, path, name, &type_, &found_))
{
}

SavedValue::~SavedValue()
{
    if (found_)
        setRegistryValue(root_, path_.c_str(), name_.c_str(), type_, bytes_);
    else
        deleteRegistryValue(root_, path_.c_str(), name_.c_str());
}

SystemTime localNow()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return SystemTime{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

SystemTime monthsBefore(unsigned back, unsigned yearsBack)
{
    const SystemTime now = localNow();
    int month = now.wMonth - static_cast<int>(back);
    int year = now.wYear - static_cast<int>(yearsBack);
    while (month < 1) {
        month += 12;
        --year;
    }
    return SystemTime{static_cast<uint16_t>(year), static_cast<uint16_t>(month), 0, 1, 10, 20, 30, 0};
}

namespace {

// The reserved header bytes: between the stamp and the count, and after the count.
constexpr uint32_t kReservedFirst = kMonthStampOffset + kSystemTimeSize;
constexpr uint32_t kReservedSecond = kRecordCountOffset + kRecordCountSize;

bool reserved(uint32_t offset)
{
    return offset >= kReservedFirst && offset < kHeaderSize &&
           (offset < kRecordCountOffset || offset >= kReservedSecond);
}

} // namespace

DataImage& DataImage::totals(const CounterBlock& totals)
{
    totals_ = totals;
    return *this;
}

DataImage& DataImage::stamp(const SystemTime& stamp)
{
    stamp_ = stamp;
    return *this;
}

DataImage& DataImage::markedReserve()
{
    marked_ = true;
    return *this;
}

DataImage& DataImage::count(int32_t count)
{
    counted_ = true;
    count_ = count;
    return *this;
}

DataImage& DataImage::records(const std::vector<ConnectionRecord>& records)
{
    records_ = records;
    return *this;
}

Bytes DataImage::bytes() const
{
    Bytes image(recordOffset(static_cast<int64_t>(records_.size())), 0);
    encodeCounterBlock(totals_, image.data() + kCounterBlockOffset);
    encodeSystemTime(stamp_, image.data() + kMonthStampOffset);
    if (marked_)
        for (uint32_t i = kReservedFirst; i < kHeaderSize; ++i)
            if (reserved(i))
                image[i] = i < kRecordCountOffset ? 0xA5 : 0x5A;
    putI32(image.data() + kRecordCountOffset, counted_ ? count_ : static_cast<int32_t>(records_.size()));
    for (size_t i = 0; i < records_.size(); ++i)
        encodeRecord(records_[i], image.data() + recordOffset(static_cast<int64_t>(i)));
    return image;
}

std::vector<ConnectionRecord> recordsOfThisMonth(int n)
{
    std::vector<ConnectionRecord> records;
    for (int i = 0; i < n; ++i) {
        SystemTime start = localNow();
        start.wDay = 1;
        start.wHour = static_cast<uint16_t>(i % 24);
        start.wMilliseconds = static_cast<uint16_t>(100 + i);
        records.push_back(ConnectionRecord{start, 60.0 * (i + 1), 0.25 * (i + 1)});
    }
    return records;
}

Bytes storedImage(int32_t count, int records)
{
    return DataImage()
        .totals(CounterBlock{11, 22, 33, 1.5, 2.5, 3.5})
        .stamp(localNow())
        .markedReserve()
        .count(count)
        .records(recordsOfThisMonth(records))
        .bytes();
}

CounterBlock fileCounters(const Bytes& bytes)
{
    return bytes.size() >= kCounterBlockSize ? decodeCounterBlock(bytes.data()) : CounterBlock{};
}

int32_t fileRecordCount(const Bytes& bytes)
{
    return bytes.size() >= kRecordCountOffset + kRecordCountSize ? getI32(bytes.data() + kRecordCountOffset) : -1;
}

ConnectionRecord fileRecord(const Bytes& bytes, int index)
{
    const uint64_t offset = recordOffset(index);
    return index >= 0 && offset + kRecordSize <= bytes.size() ? decodeRecord(bytes.data() + offset)
                                                              : ConnectionRecord{};
}

int wholeSlots(size_t length)
{
    return length < kHeaderSize ? 0 : static_cast<int>((length - kHeaderSize) / kRecordSize);
}

bool sameSlot(const Bytes& a, const Bytes& b, int slot)
{
    const uint64_t offset = recordOffset(slot);
    if (offset + kRecordSize > a.size() || offset + kRecordSize > b.size())
        return false;
    return std::memcmp(a.data() + offset, b.data() + offset, kRecordSize) == 0;
}

int changedReservedByte(const Bytes& before, const Bytes& after)
{
    for (uint32_t i = kReservedFirst; i < kHeaderSize && i < before.size(); ++i)
        if (reserved(i) && (i >= after.size() || after[i] != before[i]))
            return static_cast<int>(i);
    return -1;
}

std::string windowText(HWND window)
{
    // Room for the text the length promises; the text itself may turn out shorter.
    std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(window, &text[0], static_cast<int>(text.size()))));
    return text;
}

std::string classNameOf(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

namespace {

struct WindowSearch {
    DWORD processId;
    const char* className;
    const char* title;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM context)
{
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || classNameOf(window) != search.className ||
        (search.title != nullptr && windowText(window) != search.title))
        return TRUE;
    search.found = window;
    return FALSE;
}

} // namespace

HWND findWindowOf(DWORD processId, const char* className, const char* title)
{
    WindowSearch search{processId, className, title, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForWindowOf(DWORD processId, const char* className, const char* title, DWORD milliseconds)
{
    HWND window = nullptr;
    waitUntil([&] { return (window = findWindowOf(processId, className, title)) != nullptr; }, milliseconds);
    return window;
}

bool waitForNoWindowOf(DWORD processId, const char* className, DWORD milliseconds)
{
    return waitUntil([&] { return findWindowOf(processId, className) == nullptr; }, milliseconds);
}

void drainMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void pumpMessages(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    do {
        drainMessages();
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

bool quitPosted(WPARAM& code)
{
    MSG message;
    if (!PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        return false;
    code = message.wParam;
    return true;
}

OffScreen::OffScreen(int width, int height, COLORREF background) : rect_{0, 0, width, height}
{
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    oldBitmap_ = SelectObject(dc_, bitmap_);
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(dc_, &rect_, brush);
    DeleteObject(brush);
}

OffScreen::~OffScreen()
{
    SelectObject(dc_, oldBitmap_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

std::vector<COLORREF> OffScreen::pixels(const RECT& area) const
{
    std::vector<COLORREF> found;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            found.push_back(GetPixel(dc_, x, y));
    return found;
}

int OffScreen::count(const RECT& area, COLORREF colour) const
{
    int n = 0;
    for (COLORREF found : pixels(area))
        n += found == colour;
    return n;
}

bool registerWindowClass(const char* name, WNDPROC procedure, UINT style, HBRUSH background, HICON icon,
                         HCURSOR cursor, const char* menu)
{
    const WNDCLASSA windowClass{style, procedure, 0, 0, GetModuleHandleA(nullptr), icon, cursor, background, menu,
                                name};
    return RegisterClassA(&windowClass) != 0;
}

void typeKeys(HWND edit, const char* keys, Typing where)
{
    SetFocus(edit);
    if (where == Typing::OverText)
        SendMessageA(edit, EM_SETSEL, 0, -1);
    for (const char* key = keys; *key; ++key)
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*key), 1);
}

} // namespace kit
