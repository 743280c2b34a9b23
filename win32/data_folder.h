// Where the store's files live: beside the executable, or a per-user folder where that one cannot be written.
#pragma once

#include <string>

// The folder start-up chose for the store's files.
struct DataFolderChoice {
    std::wstring folder; // with a trailing backslash
    bool perUser;        // true when it is not the program's folder, which cannot be written
};

// Whether a new file can be made in `folder`: a uniquely named one is made and deleted. Only a refusal (no right to
// write, a write-protected medium) counts as "cannot"; a full disk or another failure leaves the folder in use.
bool folderTakesNewFiles(const std::wstring& folder);
// The per-user folder Windows itself uses for a legacy program's files in `programFolder`: the folder without its
// drive under `localAppData`\VirtualStore; "" for a folder without a drive letter (a network share).
std::wstring virtualStoreFolder(const std::wstring& programFolder, const std::wstring& localAppData);
// The program's folder while it takes new files; else its VirtualStore folder, or where that cannot be made
// Vesk\Tolvar in the user's application data; the program's folder again when neither can be made.
DataFolderChoice chooseDataFolder(const std::wstring& programFolder);
// A per-user folder without a Tq.dat of its own starts from the one in the program's folder, if any (with its
// Tq.jnl): the bytes are copied, never merged. True when it copied.
bool seedDataFolder(const DataFolderChoice& choice, const std::wstring& programFolder);
// Says in a box owned by nothing where a per-user folder keeps the figures, once per folder: the folder said is
// stored with the program's registry values.
void tellDataFolderOnce(const DataFolderChoice& choice, const std::wstring& programFolder, bool seeded);
