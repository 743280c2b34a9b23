// The fakes' shared state, and a new process's start for each native test.
#include "fakes/world.h"

#include "core/data_store.h"
#include "core/settings.h"
#include "fakes/disk.h"

FakeWorld fake;

namespace {

void fileCall(const char* name)
{
    fake.calls.push_back(name);
    ++fake.fileOperations;
}

} // namespace

void resetWorld()
{
    fake = FakeWorld{};
    disk = Disk{};
    zeroProcessRecords();
    watchDataFile(fileCall);
    openDataStore(&kMemoryFiles);
}

int countCalls(const std::string& name)
{
    int n = 0;
    for (const std::string& call : fake.calls)
        n += call == name;
    return n;
}

