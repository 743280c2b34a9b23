// The fake file seam: files in memory that a planted fault, a process's death or a power loss can cut short.
#include "fakes/disk.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/layout.h"

Disk disk;

namespace {

// Spends up to `units`; returns how many may still happen before the cut.
size_t spend(size_t units)
{
    if (disk.dead)
        return 0;
    size_t allowed = units;
    if (disk.budget >= 0 && static_cast<int64_t>(units) > disk.budget - disk.spent) {
        allowed = static_cast<size_t>(disk.budget - disk.spent);
        disk.dead = true;
    }
    disk.spent += static_cast<int64_t>(allowed);
    return allowed;
}

const char* fileLetter(StoreFile file)
{
    switch (file) {
    case StoreFile::Journal: return "jnl";
    case StoreFile::Fresh: return "new";
    case StoreFile::SetAside: return "aside";
    case StoreFile::Data: break;
    }
    return "dat";
}

// What each kind of call may be refused for.
enum class Call { Write, Read, SetLength, Flush, Remove, Rename };

constexpr FileResult kDone{FileOutcome::Done, 0};

// Begins or ends `fault` at call number `call` on `file`.
void followFault(Fault& fault, int64_t call, StoreFile file)
{
    const bool byCall = fault.atCall >= 0 && call == fault.atCall;
    const bool byTick = fault.atTick >= 0 && disk.tick >= fault.atTick && !fault.active;
    if (!fault.over && (byCall || byTick)) {
        fault.active = true;
        if (!fault.pinned)
            fault.file = file;
        fault.endTick = disk.tick + fault.ticks;
    }
    if (fault.active && fault.ticks >= 0 && disk.tick >= fault.endTick) {
        fault.active = false;
        fault.over = true;
    }
}

// How one fault answers a call: Done when it does not touch it.
FileResult answer(Fault& fault, Call call, StoreFile file, bool grows)
{
    // A rename concerns both names: the fresh file's onto the data file's, the journal's onto a set-aside name.
    const StoreFile other = file == StoreFile::Data ? StoreFile::Fresh : StoreFile::SetAside;
    const bool touched = fault.file == file || (call == Call::Rename && fault.file == other);
    if (!fault.active || (!touched && fault.kind != FaultKind::DiskFull))
        return kDone;
    if (fault.every > 1 && ++fault.calls % fault.every != 0)
        return kDone;
    const bool changes = call != Call::Read;
    switch (fault.kind) {
    case FaultKind::Held: return FileResult{FileOutcome::Held, 32};
    case FaultKind::DiskFull:
        return grows ? FileResult{FileOutcome::Failed, 112} : kDone;
    case FaultKind::Denied: return changes ? FileResult{FileOutcome::Failed, 5} : kDone;
    case FaultKind::ReadError: return call == Call::Read ? FileResult{FileOutcome::Failed, 23} : kDone;
    case FaultKind::Refused:
        return call == Call::Remove || call == Call::Rename ? FileResult{FileOutcome::Failed, 5} : kDone;
    case FaultKind::FlushFails: return call == Call::Flush ? FileResult{FileOutcome::Failed, 1117} : kDone;
    }
    return kDone;
}

// Counts the call and answers for the faults: a hold wins, else the first failure; Done when none touches it.
FileResult faultAt(Call call, StoreFile file, bool grows)
{
    static const char* const kNames[] = {"write", "read", "setLength", "flush", "remove", "rename"};
    disk.callKinds.push_back(std::string(kNames[static_cast<int>(call)]) + " " + fileLetter(file));
    const int64_t number = disk.calls++;
    followFault(disk.fault, number, file);
    for (Fault& fault : disk.schedule)
        followFault(fault, number, file);
    if (file == StoreFile::Data && disk.dataHeld)
        return FileResult{FileOutcome::Held, 32};
    FileResult found = answer(disk.fault, call, file, grows);
    for (Fault& fault : disk.schedule) {
        if (found.outcome == FileOutcome::Held)
            break;
        const FileResult result = answer(fault, call, file, grows);
        if (result.outcome == FileOutcome::Held || found.outcome == FileOutcome::Done)
            found = result;
    }
    return found;
}

std::vector<uint8_t>& fileContent(StoreFile file)
{
    // Making a file is a change of its folder, which lasts at once.
    disk.durable.emplace(file, std::vector<uint8_t>{});
    return disk.files[file];
}

void applyWrite(std::vector<uint8_t>& content, const DiskWrite& write)
{
    if (write.cut) {
        content.resize(write.offset, 0);
        return;
    }
    if (content.size() < write.offset + write.bytes.size())
        content.resize(write.offset + write.bytes.size(), 0);
    if (!write.bytes.empty())
        std::memcpy(content.data() + write.offset, write.bytes.data(), write.bytes.size());
}

void record(StoreFile file, DiskWrite write)
{
    applyWrite(fileContent(file), write);
    disk.unflushed[file].push_back(std::move(write));
}

FileResult memoryWrite(StoreFile file, uint64_t offset, const uint8_t* bytes, size_t size)
{
    const uint64_t end = disk.files.count(file) ? disk.files[file].size() : 0;
    const FileResult fault = faultAt(Call::Write, file, offset + size > end);
    if (fault.outcome == FileOutcome::Held)
        return fault;
    // A full disk takes what fits in the file's present length and refuses the rest.
    size_t wanted = size;
    if (fault.outcome != FileOutcome::Done)
        wanted = fault.error == 112 && offset < end ? static_cast<size_t>(end - offset) : 0;
    const size_t allowed = spend(wanted);
    if (disk.dead && allowed == 0)
        return FileResult{FileOutcome::Failed, 0};
    record(file, DiskWrite{false, offset, std::vector<uint8_t>(bytes, bytes + allowed)});
    if (fault.outcome != FileOutcome::Done)
        return fault;
    return allowed == size ? kDone : FileResult{FileOutcome::Failed, 0};
}

FileResult memoryRead(StoreFile file, uint64_t offset, uint8_t* bytes, size_t size, size_t& got)
{
    got = 0;
    const FileResult fault = faultAt(Call::Read, file, false);
    if (fault.outcome != FileOutcome::Done)
        return fault;
    if (file != StoreFile::Data && disk.files.count(file) == 0)
        return kDone;
    const std::vector<uint8_t>& content = fileContent(file);
    if (offset >= content.size())
        return kDone;
    got = std::min(size, content.size() - static_cast<size_t>(offset));
    std::memcpy(bytes, content.data() + offset, got);
    return kDone;
}

FileResult memorySetLength(StoreFile file, uint64_t length)
{
    const uint64_t end = disk.files.count(file) ? disk.files[file].size() : 0;
    const FileResult fault = faultAt(Call::SetLength, file, length > end);
    if (fault.outcome != FileOutcome::Done)
        return fault;
    if (spend(1) == 0)
        return FileResult{FileOutcome::Failed, 0};
    record(file, DiskWrite{true, length, {}});
    return kDone;
}

FileResult memoryFlush(StoreFile file)
{
    const FileResult fault = faultAt(Call::Flush, file, false);
    if (fault.outcome != FileOutcome::Done)
        return fault;
    if (disk.dead)
        return FileResult{FileOutcome::Failed, 0};
    ++disk.flushes;
    disk.durable[file] = disk.files[file];
    disk.unflushed.erase(file);
    return kDone;
}

int64_t memoryLength(StoreFile file)
{
    const auto found = disk.files.find(file);
    return found == disk.files.end() ? 0 : static_cast<int64_t>(found->second.size());
}

void forget(StoreFile file)
{
    disk.files.erase(file);
    disk.durable.erase(file);
    disk.unflushed.erase(file);
}

FileResult memoryRemove(StoreFile file)
{
    const FileResult fault = faultAt(Call::Remove, file, false);
    if (fault.outcome != FileOutcome::Done)
        return fault;
    if (spend(1) == 0)
        return FileResult{FileOutcome::Failed, 0};
    forget(file);
    return kDone;
}

// Renames carry a file's flushed content and its unflushed writes alike.
void move(StoreFile from, StoreFile to)
{
    disk.files[to] = disk.files[from];
    disk.durable[to] = disk.durable[from];
    disk.unflushed[to] = disk.unflushed[from];
    forget(from);
}

FileResult memoryReplace()
{
    const FileResult fault = faultAt(Call::Rename, StoreFile::Data, false);
    if (fault.outcome != FileOutcome::Done)
        return fault;
    if (spend(1) == 0)
        return FileResult{FileOutcome::Failed, 0};
    move(StoreFile::Fresh, StoreFile::Data);
    return kDone;
}

FileResult memorySetAside(char* name, size_t size)
{
    const FileResult fault = faultAt(Call::Rename, StoreFile::Journal, false);
    if (fault.outcome != FileOutcome::Done)
        return fault;
    if (spend(1) == 0)
        return FileResult{FileOutcome::Failed, 0};
    disk.setAside.push_back(disk.files[StoreFile::Journal]);
    forget(StoreFile::Journal);
    std::snprintf(name, size, "Tq-%zu.jnl", disk.setAside.size());
    return kDone;
}

std::vector<uint8_t>& dataBytes(size_t atLeast)
{
    std::vector<uint8_t>& bytes = disk.files[StoreFile::Data];
    if (bytes.size() < atLeast)
        bytes.resize(atLeast, 0);
    return bytes;
}

} // namespace

const FileSeam kMemoryFiles{memoryWrite,  memoryRead,   memorySetLength, memoryFlush,
                            memoryLength, memoryRemove, memoryReplace,   memorySetAside};

void clearFaults()
{
    disk.fault = Fault{};
    for (Fault& fault : disk.schedule)
        if (fault.active) {
            fault.active = false;
            fault.over = true;
        }
}

void losePower(PowerLoss loss, uint32_t seed)
{
    uint32_t state = seed * 2654435761u + 1;
    const auto coin = [&state] {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 1;
    };
    for (auto& [file, writes] : disk.unflushed) {
        if (loss == PowerLoss::KeepAll)
            continue;
        std::vector<uint8_t> content = disk.durable[file];
        for (const DiskWrite& write : writes) {
            if (loss == PowerLoss::DropAll)
                break;
            if (write.cut) {
                if (coin())
                    applyWrite(content, write);
                continue;
            }
            // Each 512-byte sector the write touches reaches the disk or not, on its own.
            for (uint64_t at = write.offset; at < write.offset + write.bytes.size();) {
                const uint64_t end = std::min<uint64_t>((at / 512 + 1) * 512, write.offset + write.bytes.size());
                if (coin())
                    applyWrite(content, DiskWrite{false, at, std::vector<uint8_t>(write.bytes.begin() + (at - write.offset),
                                                                                   write.bytes.begin() + (end - write.offset))});
                at = end;
            }
        }
        disk.files[file] = content;
    }
    for (auto& [file, content] : disk.files)
        disk.durable[file] = content;
    disk.unflushed.clear();
}

std::vector<ConnectionRecord> storedRecords()
{
    const std::vector<uint8_t>& bytes = dataBytes(0);
    std::vector<ConnectionRecord> records;
    for (size_t at = kHeaderSize; at + kRecordSize <= bytes.size(); at += kRecordSize)
        records.push_back(decodeRecord(bytes.data() + at));
    return records;
}

void storeRecords(const std::vector<ConnectionRecord>& records)
{
    std::vector<uint8_t>& bytes = dataBytes(kHeaderSize);
    bytes.resize(recordOffset(static_cast<int64_t>(records.size())));
    for (size_t i = 0; i < records.size(); ++i)
        encodeRecord(records[i], bytes.data() + recordOffset(static_cast<int64_t>(i)));
}

int32_t storedCount() { return getI32(dataBytes(kHeaderSize).data() + kRecordCountOffset); }

void storeCount(int32_t count) { putI32(dataBytes(kHeaderSize).data() + kRecordCountOffset, count); }

CounterBlock storedCounters() { return decodeCounterBlock(dataBytes(kHeaderSize).data() + kCounterBlockOffset); }

void storeCounters(const CounterBlock& counters)
{
    encodeCounterBlock(counters, dataBytes(kHeaderSize).data() + kCounterBlockOffset);
}

SystemTime storedStamp() { return decodeSystemTime(dataBytes(kHeaderSize).data() + kMonthStampOffset); }

const FileSeam* dataFileSeam() { return &kMemoryFiles; }
