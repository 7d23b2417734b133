# GoogleTest: the installed package where it fits this build, else built from the
# distribution's sources with our own flags. An installed copy can't serve a cross
# build (it is for the build machine) or a sanitizer build (uninstrumented, so
# ThreadSanitizer would miss its locks); those always build from the sources.
set(TOVARO_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest's sources, used where no installed GoogleTest fits")
if(NOT CMAKE_CROSSCOMPILING AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  find_package(GTest CONFIG QUIET)
endif()
if(NOT GTest_FOUND)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${TOVARO_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest
                   EXCLUDE_FROM_ALL)
endif()
include(GoogleTest)
