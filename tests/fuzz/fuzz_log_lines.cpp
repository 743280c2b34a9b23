// Fuzzes the detailed list's and the export's texts with any record: bounded, terminated, never longer
// than their buffers, whatever the dates, durations and costs hold.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/layout.h"
#include "core/log_format.h"

namespace {

void expectTerminated(const char* text, size_t size, int length)
{
    if (length < 0 || static_cast<size_t>(length) >= size || std::strlen(text) != static_cast<size_t>(length))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint8_t bytes[kRecordSize + 16 + 8 + 7] = {};
    std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
    const ConnectionRecord record = decodeRecord(bytes);
    const SystemTime today = decodeSystemTime(bytes + kRecordSize);
    const double tariff = getF64(bytes + kRecordSize + 16);
    char symbol[7] = {};
    std::memcpy(symbol, bytes + kRecordSize + 24, 6);
    const int symbolLength = static_cast<int>(std::strlen(symbol));

    char title[kDetailsTitleSize];
    for (ViewFilter filter : {All, CurrentMonth, LastMonth}) {
        expectTerminated(title, sizeof title, formatDetailsTitle(filter, today, title, sizeof title));
        char name[kSuggestedNameSize];
        expectTerminated(name, sizeof name, formatSuggestedName(filter, record.start, today, name, sizeof name));
    }
    char text[kListTextSize];
    expectTerminated(text, sizeof text, formatListDate(record.start, text, sizeof text));
    expectTerminated(text, sizeof text, formatListTime(record.start, text, sizeof text));
    expectTerminated(text, sizeof text,
                     formatListCost(record.cost, tariff, symbol, symbolLength, text, sizeof text));
    char line[kExportLineSize];
    for (bool withCost : {false, true})
        expectTerminated(line, sizeof line,
                         formatExportLine(record, withCost, tariff, symbol, symbolLength, line, sizeof line));
    return 0;
}
