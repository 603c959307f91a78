# Run by the tests of corvane_add_emulator_test as
#   cmake -DQEMU=<qemu-system-arm or its NOTFOUND> -DFIRMWARE=<firmware.elf> -DRAWSNAP=<rawsnap> -DPIXPACK=<pixpack>
#         -DRUN_DIR=<folder> -DFRAMEBUFFER=<file> -DFORMAT=<mode> -DWIDTH=<pixels> -DHEIGHT=<lines>
#         -DEXPECT=<picture.png> -P CorvaneAssetsEmulatorTest.cmake
# Runs the firmware under QEMU's mps2-an386 board in a fresh RUN_DIR, where it
# writes FRAMEBUFFER through semihosting; rawsnap turns the dump into
# RUN_DIR/<test>.png, and the test passes when that picture has EXPECT's pixels.
# Both pictures go through pixpack into ARGB8888 surface files, so any PNG of
# the same colours matches, whatever its colour type. A picture that differs,
# or a missing EXPECT, fails the test and is copied beside EXPECT as
# <picture>.got.png; a passing run removes that copy.
cmake_minimum_required(VERSION 3.25)

# Seconds the firmware may run; a firmware that never exits is stopped.
set(firmwareSeconds 60)

get_filename_component(testName "${RUN_DIR}" NAME)
string(REGEX REPLACE "\\.png$" ".got.png" gotBeside "${EXPECT}")
set(got "${RUN_DIR}/${testName}.png")

if(NOT QEMU)
  message(FATAL_ERROR "${testName}: qemu-system-arm is not installed (Debian: qemu-system-arm)")
endif()
file(REMOVE_RECURSE "${RUN_DIR}")
file(MAKE_DIRECTORY "${RUN_DIR}")
execute_process(
  COMMAND "${QEMU}" -M mps2-an386 -nographic -semihosting-config enable=on,target=native -kernel "${FIRMWARE}"
  WORKING_DIRECTORY "${RUN_DIR}"
  INPUT_FILE /dev/null
  TIMEOUT ${firmwareSeconds}
  RESULT_VARIABLE status)
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "${testName}: the firmware under QEMU ended with status '${status}'")
endif()
get_filename_component(dump "${FRAMEBUFFER}" ABSOLUTE BASE_DIR "${RUN_DIR}")
if(NOT EXISTS "${dump}")
  message(FATAL_ERROR "${testName}: the firmware wrote no framebuffer '${FRAMEBUFFER}'")
endif()

# Runs a kit tool quietly; stops with `failure` and the tool's own lines when it fails.
function(run_tool failure)
  execute_process(COMMAND ${ARGN} --silent RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status STREQUAL "0")
    string(STRIP "${output}" output)
    message(FATAL_ERROR "${testName}: ${failure}: ${output}")
  endif()
endfunction()

run_tool("rawsnap cannot read the framebuffer" "${RAWSNAP}" --fb "${dump}" --width ${WIDTH} --height ${HEIGHT}
  --format ${FORMAT} --output "${got}")
if(NOT EXISTS "${EXPECT}")
  file(COPY_FILE "${got}" "${gotBeside}")
  message(FATAL_ERROR "${testName}: there is no expected picture ${EXPECT}; the firmware drew ${gotBeside}")
endif()
run_tool("cannot read the picture drawn" "${PIXPACK}" --image "${got}" --format ARGB8888 --output "${got}.srf")
run_tool("cannot read the expected picture" "${PIXPACK}" --image "${EXPECT}" --format ARGB8888
  --output "${RUN_DIR}/expected.srf")
file(SHA256 "${got}.srf" gotPixels)
file(SHA256 "${RUN_DIR}/expected.srf" expectedPixels)
if(NOT gotPixels STREQUAL expectedPixels)
  file(COPY_FILE "${got}" "${gotBeside}")
  message(FATAL_ERROR "${testName}: the framebuffer differs from ${EXPECT}; the firmware drew ${gotBeside}")
endif()
file(REMOVE "${gotBeside}")
message(STATUS "${testName}: the framebuffer matches ${EXPECT}")
