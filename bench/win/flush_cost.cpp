// Times what putting a connection's end on the disk costs: its batch (journal written and flushed, the data file
// written and flushed, the journal deleted) over the real file seam, against the same seam with FlushFileBuffers
// left out, in turn in each round. Usage: flush_cost.exe [ROUNDS [BATCHES]] — prints each round's figures and one
// summary line: the median time per batch of both and their ratio with its spread over the rounds.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/data_store.h"
#include "core/layout.h"
#include "core/state.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kStoredRecords = 100;

FileResult noFlush(StoreFile) { return FileResult{FileOutcome::Done, 0}; }

// Tq.dat in the current folder with a log of some length, as the batches find it in use.
bool writeLog()
{
    std::vector<uint8_t> bytes(recordOffset(kStoredRecords), 0);
    putI32(bytes.data() + kRecordCountOffset, kStoredRecords);
    const HANDLE file = CreateFileA("Tq.dat", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool done = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                      written == bytes.size();
    CloseHandle(file);
    return done;
}

// Seconds per batch of `batches` connection ends, as the program stores one: the count, the record, the totals.
double timeBatches(const FileSeam& seam, int batches)
{
    openDataStore(&seam);
    accounting.recordCount = kStoredRecords;
    ConnectionRecord record{};
    record.seconds = 61;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < batches; ++i) {
        ++accounting.recordCount;
        accounting.counterBlock.curMonthSeconds += record.seconds;
        beginWriteBatch();
        writeRecordCount();
        appendRecord(record);
        writeCounterBlock();
        endWriteBatch();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (writesPending()) {
        std::fprintf(stderr, "batches were left pending\n");
        std::exit(1);
    }
    writeLog();
    return seconds / batches;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int batches = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    char folder[MAX_PATH + 64];
    std::snprintf(folder, sizeof folder, "%stolvar-flush-cost-%lu", temp, GetCurrentProcessId());
    CreateDirectoryA(folder, nullptr);
    if (!SetCurrentDirectoryA(folder) || !writeLog()) {
        std::fprintf(stderr, "cannot write Tq.dat in %s\n", folder);
        return 1;
    }
    const FileSeam real = *dataFileSeam();
    FileSeam unflushed = real;
    unflushed.flush = noFlush;

    std::vector<double> withFlush, without, ratios;
    for (int round = 0; round < rounds; ++round) {
        // In turn, so that neither always runs on a warmer cache.
        const bool realFirst = round % 2 == 0;
        const double first = timeBatches(realFirst ? real : unflushed, batches);
        const double second = timeBatches(realFirst ? unflushed : real, batches);
        withFlush.push_back(realFirst ? first : second);
        without.push_back(realFirst ? second : first);
        ratios.push_back(withFlush.back() / without.back());
        std::printf("round %d: %.3f ms with the flushes, %.3f ms without, ratio %.2f\n", round + 1,
                    withFlush.back() * 1e3, without.back() * 1e3, ratios.back());
    }
    std::printf("a connection's end batch: %.3f ms with the flushes vs %.3f ms without (median of %d rounds of %d), "
                "ratio %.2f (rounds %.2f to %.2f)\n",
                median(withFlush) * 1e3, median(without) * 1e3, rounds, batches, median(ratios),
                *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));
    DeleteFileA("Tq.dat");
    DeleteFileA("Tq.jnl");
    SetCurrentDirectoryA(temp);
    RemoveDirectoryA(folder);
    return 0;
}
