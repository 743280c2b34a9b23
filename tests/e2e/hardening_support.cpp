// Helpers of the hardening and soak tests: data file images, connections, the detailed list and boxes.
#include "tests/e2e/hardening_support.h"

#include <commctrl.h>

#include <cstring>

#include "res/resource.h"

namespace e2e {

namespace {

constexpr int kFileNameCombo = 0x47c;
constexpr uint32_t kReservedFirst = 64;
constexpr uint32_t kReservedSecond = 84;

SystemTime localNow()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return SystemTime{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

} // namespace

void leaveProgramWindowsUnmanaged()
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Tolvar.exe\\X11 Driver", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    RegCloseKey(key);
}

Bytes dataImage(int32_t count, int records)
{
    Bytes image(kHeaderSize + kRecordSize * static_cast<size_t>(records), 0);
    encodeCounterBlock(CounterBlock{11, 22, 33, 1.5, 2.5, 3.5}, image.data());
    encodeSystemTime(localNow(), image.data() + kMonthStampOffset);
    for (uint32_t i = kReservedFirst; i < kRecordCountOffset; ++i)
        image[i] = 0xA5;
    for (uint32_t i = kReservedSecond; i < kHeaderSize; ++i)
        image[i] = 0x5A;
    putI32(image.data() + kRecordCountOffset, count);
    for (int i = 0; i < records; ++i) {
        SystemTime start = localNow();
        start.wDay = 1;
        start.wHour = static_cast<uint16_t>(i % 24);
        start.wMilliseconds = static_cast<uint16_t>(100 + i);
        encodeRecord(ConnectionRecord{start, 60.0 * (i + 1), 0.25 * (i + 1)}, image.data() + recordOffset(i));
    }
    return image;
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
    for (uint32_t i = kReservedFirst; i < kHeaderSize && i < before.size(); ++i) {
        if (i >= kRecordCountOffset && i < kReservedSecond)
            continue;
        if (i >= after.size() || after[i] != before[i])
            return static_cast<int>(i);
    }
    return -1;
}

bool firstStartAndExit(const std::string& folder)
{
    Program program = startProgram(folder);
    const bool ok = program.mainWindow != nullptr && exitThroughMenu(program) == 1;
    stopProgram(program);
    return ok;
}

bool connectionOf(const std::string& folder, DWORD milliseconds)
{
    const Bytes before = readFileBytes(folder + "Tq.dat");
    setService(folder, 1, "connected");
    Sleep(milliseconds);
    clearService(folder);
    if (!waitUntil([&] { return readFileBytes(folder + "Tq.dat") != before; }, 3000))
        return false;
    // The count, the record and the totals are three writes: wait until the last has landed.
    Bytes last = readFileBytes(folder + "Tq.dat");
    for (int settled = 0; settled < 20; ++settled) {
        Sleep(150);
        Bytes now = readFileBytes(folder + "Tq.dat");
        if (now == last)
            break;
        last = now;
    }
    return true;
}

HWND openDetailsList(const Program& program)
{
    PostMessageA(program.mainWindow, WM_COMMAND, IDC_STATISTICS_DETAILS_ALL, 0);
    const HWND details = waitForWindowOf(program.process.dwProcessId, "Details", nullptr, 5000);
    // Found while it is being created; it is shown once its creation and first fill are done.
    waitUntil([&] { return IsWindowVisible(details) != FALSE; }, 5000);
    return details;
}

int listRows(HWND details)
{
    const HWND list = FindWindowExA(details, nullptr, WC_LISTVIEWA, nullptr);
    if (list == nullptr)
        return -1;
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

std::string exportAll(const Program& program, HWND details, const std::string& path)
{
    PostMessageA(details, WM_COMMAND, IDC_DETAILS_SAVE_ALL, 0);
    const MessageBoxInfo box = waitForMessageBox(program.process.dwProcessId, 5000);
    if (box.window == nullptr)
        return "";
    const HWND name = GetDlgItem(box.window, kFileNameCombo);
    if (name == nullptr) {
        answerBox(box.window, IDOK);
        return box.caption + "|" + box.text;
    }
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    answerBox(box.window, IDOK);
    return "saved";
}

std::string clearUntilCurrentMonth(const Program& program, HWND details)
{
    PostMessageA(details, WM_COMMAND, IDC_DETAILS_CLEAR_UNTIL_CURRENT_MONTH, 0);
    const MessageBoxInfo box = waitForMessageBox(program.process.dwProcessId, 5000);
    if (box.window == nullptr)
        return "";
    answerBox(box.window, IDYES);
    return box.caption + "|" + box.text;
}

} // namespace e2e
