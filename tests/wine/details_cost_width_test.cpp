// The cost column's remembered width when cost calculation is switched on while the detailed window is open.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "core/layout.h"
#include "core/settings.h"
#include "tests/wine/in_process.h"
#include "win32/shell.h"

namespace {

// A window opened without the cost column has no width to read for it when it closes: the stored width stays,
// rather than the 0 the list view answers for a missing column, which would hide the column from then on.
TEST(DetailsCostWidth, AWindowWithoutTheCostColumnKeepsItsStoredWidth)
{
    kit::ScratchFolder scratch;
    ASSERT_TRUE(scratch.enter("tolvar-cost-width"));
    inproc::takeAsProgramFolder(scratch.path());
    inproc::prepareDetailsWindow(0);
    DetailPlacement stored{};
    stored.right = 500;
    stored.bottom = 300;
    for (int32_t& width : stored.columnWidths)
        width = 84;
    stored.showCmd = SW_SHOWNORMAL;
    uint8_t bytes[kDetailPlacementSize];
    encodeDetailPlacement(stored, bytes);
    ASSERT_TRUE(kit::setRegistryValue(HKEY_CURRENT_USER, kit::kPlacementKey, "Place", REG_BINARY,
                                      kit::Bytes(bytes, bytes + sizeof bytes)));
    openDetails(All);
    ASSERT_TRUE(IsWindow(details.window));
    settings.block.calculateCost = 1;
    DestroyWindow(details.window);
    kit::drainMessages();

    const kit::Bytes place = kit::registryValue(HKEY_CURRENT_USER, kit::kPlacementKey, "Place");
    ASSERT_EQ(place.size(), kDetailPlacementSize);
    DetailPlacement after{};
    overlayDetailPlacement(after, place.data(), place.size());
    EXPECT_EQ(after.columnWidths[3], 84);
    kit::deleteRegistryValue(HKEY_CURRENT_USER, kit::kPlacementKey, "Place");
}

} // namespace
