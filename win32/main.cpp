// Process entry: single instance, the data folder, currency symbol, initialisation and the message loop.
#include "win32/data_folder.h"
#include "win32/program_folder.h"
#include "win32/program_records.h"
#include "win32/startup.h"

int WINAPI WinMain(HINSTANCE module, HINSTANCE, LPSTR, int)
{
    shell.instance = module;
    // Owned until the process ends; a second instance leaves at once without touching the first.
    CreateMutexA(nullptr, TRUE, "TQ");
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        ExitProcess(1);
    // "TQ" guards one session only; the data folder is shared by every session that keeps its figures there.
    const std::wstring programFolder = executableFolder();
    const DataFolderChoice data = chooseDataFolder(programFolder);
    if (!claimDataFolder(data.folder.c_str()))
        ExitProcess(1);
    const bool seeded = seedDataFolder(data, programFolder);
    if (data.perUser)
        setDataFolder(data.folder.c_str());
    shell.currencySymbolLength =
        GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SCURRENCY, shell.currencySymbol, sizeof shell.currencySymbol);
    if (!initApplication())
        return 0;
    ShowWindow(shell.statisticsWindow, SW_HIDE);
    UpdateWindow(shell.statisticsWindow);
    tellDataFolderOnce(data, programFolder, seeded);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    DestroyWindow(shell.statisticsWindow);
    return 1;
}
