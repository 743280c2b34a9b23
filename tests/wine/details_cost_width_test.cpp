// The cost column's remembered width when cost calculation is switched on while the detailed window is open.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "core/layout.h"
#include "core/settings.h"
#include "tests/wine/wine_support.h"
#include "win32/shell.h"

namespace {

// A window opened without the cost column has no width to read for it when it closes: the stored width stays,
// rather than the 0 the list view answers for a missing column, which would hide the column from then on.
TEST(DetailsCostWidth, AWindowWithoutTheCostColumnKeepsItsStoredWidth)
{
    wine::ScratchFolder scratch;
    ASSERT_TRUE(scratch.enter("tolvar-cost-width"));
    wine::takeAsProgramFolder(scratch.path());
    wine::prepareDetailsWindow(0);
    DetailPlacement stored{};
    stored.right = 500;
    stored.bottom = 300;
    for (int32_t& width : stored.columnWidths)
        width = 84;
    stored.showCmd = SW_SHOWNORMAL;
    uint8_t bytes[kDetailPlacementSize];
    encodeDetailPlacement(stored, bytes);
    ASSERT_TRUE(wine::setRegistryValue(HKEY_CURRENT_USER, wine::kPlacementKey, "Place", REG_BINARY, bytes,
                                       sizeof bytes));
    openDetails(All);
    ASSERT_TRUE(IsWindow(details.window));
    settings.block.calculateCost = 1;
    DestroyWindow(details.window);
    wine::drainMessages();

    const std::vector<uint8_t> place = wine::registryValue(HKEY_CURRENT_USER, wine::kPlacementKey, "Place");
    ASSERT_EQ(place.size(), kDetailPlacementSize);
    DetailPlacement after{};
    overlayDetailPlacement(after, place.data(), place.size());
    EXPECT_EQ(after.columnWidths[3], 84);
    wine::freshPlacementKey();
}

} // namespace
