# Run as cmake -DASSETPEEK=<program> -DFONT_SOURCE=<font.cpp> -DTEXT_FILE=<file> [-DCODEPAGE=<name>]
#              [-DCHARS=<list>] [-DROTATION=<angle>] -DPICTURE=<picture.png> -P CorvaneAssetsPreview.cmake.
# Draws the text that TEXT_FILE holds with assetpeek from the generated font
# source. The text is read from the file and handed to assetpeek without a
# shell, so it reaches it as one argument whatever it holds: a shell operator,
# quotes, a backslash, ';', a generator expression, leading spaces. assetpeek
# prints its own result or error line.
cmake_minimum_required(VERSION 3.25)

file(READ "${TEXT_FILE}" text)
set(mapping "")
if(DEFINED CODEPAGE)
  list(APPEND mapping --codepage "${CODEPAGE}")
endif()
if(DEFINED CHARS)
  list(APPEND mapping --chars "${CHARS}")
endif()
if(DEFINED ROTATION)
  list(APPEND mapping --rotation "${ROTATION}")
endif()
execute_process(COMMAND "${ASSETPEEK}" --silent --font "${FONT_SOURCE}" --text "${text}" ${mapping}
                        --output "${PICTURE}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "assetpeek could not draw ${PICTURE}")
endif()
