# 64-bit Windows: the same sources, testable under 64-bit Wine on every machine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
