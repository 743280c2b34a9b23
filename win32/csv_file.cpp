// Writes the spreadsheet files in binary, so that the rows keep their CR LF and the text its UTF-8.
#include "win32/csv_file.h"

#include <cstdio>
#include <cstring>

#include "core/settings.h"
#include "win32/program_records.h"

namespace {

// The CSV choice in a save dialog's filter list, after the text file's entry.
constexpr DWORD kCsvFilterIndex = 2;

} // namespace

std::string currencySymbolUtf8()
{
    const int length = currencySymbolDrawnLength();
    if (length <= 0)
        return std::string();
    wchar_t wide[8];
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, shell.currencySymbol, length, wide, 8);
    if (wideLength <= 0)
        return std::string();
    char utf8[8 * 4];
    const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, utf8, sizeof utf8, nullptr, nullptr);
    return utf8Length > 0 ? std::string(utf8, static_cast<size_t>(utf8Length)) : std::string();
}

CsvCostStyle csvCostStyle()
{
    return CsvCostStyle{settings.block.calculateCost != 0, settings.block.tariffCommon, currencySymbolUtf8()};
}

bool namesCsvFile(const char* path, DWORD filterIndex)
{
    const size_t length = std::strlen(path);
    return filterIndex == kCsvFilterIndex || (length >= 4 && lstrcmpiA(path + length - 4, ".csv") == 0);
}

bool writeCsvFile(const char* path, const std::string& bytes)
{
    std::FILE* stream = std::fopen(path, "wb");
    if (stream == nullptr)
        return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
    written = std::fflush(stream) == 0 && written;
    written = std::fclose(stream) == 0 && written;
    if (!written)
        DeleteFileA(path);
    return written;
}
