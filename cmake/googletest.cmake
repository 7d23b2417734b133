# GoogleTest: an installed copy where its build matches ours, else the distribution's
# sources built with our own flags. An installed library was built natively without
# sanitizers; a cross build cannot link it, and the sanitizer builds need GoogleTest
# instrumented as the code under test is (ThreadSanitizer reports races through
# uninstrumented code, and the address checks miss its containers), so those always
# build the sources.
set(TOVARO_GTEST_SOURCES /usr/src/googletest CACHE PATH
    "GoogleTest sources, built when no matching installed copy is used")
if(NOT CMAKE_CROSSCOMPILING AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  find_package(GTest CONFIG QUIET)
endif()
if(NOT GTest_FOUND)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${TOVARO_GTEST_SOURCES} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
include(GoogleTest)
