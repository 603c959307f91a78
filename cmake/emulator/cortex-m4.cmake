# Cross-compiles for a Cortex-M4 with a floating-point unit, bare metal, with
# Debian's gcc-arm-none-eabi: the toolchain of a firmware that runs on QEMU's
# mps2-an386 board (link CorvaneAssets::emulator_board). The kit's tools still
# run on the build machine: find them with -DCMAKE_PREFIX_PATH=<kit install prefix>.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
# Nothing links without a board's start-up code and linker script.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(cortexM4Flags "-mcpu=cortex-m4 -mthumb -mfloat-abi=hard -mfpu=fpv4-sp-d16")
set(CMAKE_C_FLAGS_INIT "${cortexM4Flags}")
set(CMAKE_CXX_FLAGS_INIT "${cortexM4Flags} -fno-exceptions -fno-rtti")
# Programs link with the C driver: g++ would add libstdc++, which Debian
# installs only with the recommended packages, and the firmware needs none of it.
set(CMAKE_CXX_LINK_EXECUTABLE
    "${CMAKE_C_COMPILER} <FLAGS> <CMAKE_CXX_LINK_FLAGS> <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>")
