# Package CorvaneAssets: the imported host programs CorvaneAssets::glyphsmith_cli,
# CorvaneAssets::pixpack, CorvaneAssets::rawsnap and CorvaneAssets::assetpeek, the interface targets
# CorvaneAssets::ds_font and CorvaneAssets::surface (the surface library's sources, compiled by the
# consumer), and the functions corvane_add_font and corvane_add_surface.
include(${CMAKE_CURRENT_LIST_DIR}/CorvaneAssetsTargets.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/CorvaneAssetsFunctions.cmake)
