# Package CorvaneAssets: the imported host programs CorvaneAssets::glyphsmith_cli,
# CorvaneAssets::pixpack, CorvaneAssets::rawsnap and CorvaneAssets::assetpeek, the interface targets
# CorvaneAssets::ds_font, CorvaneAssets::surface (the surface library's sources, compiled by the
# consumer) and CorvaneAssets::emulator_board (the QEMU mps2-an386 board's start file, linker script
# and semihosting C library), and the functions corvane_add_font, corvane_add_surface and
# corvane_add_emulator_test.
include(${CMAKE_CURRENT_LIST_DIR}/CorvaneAssetsTargets.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/CorvaneAssetsFunctions.cmake)
