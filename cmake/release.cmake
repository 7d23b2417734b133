# What a release needs from the build: the shipped Windows DLL built small and the
# same from any folder, and the project's version where Windows and the tools show
# it. Included by the top-level CMakeLists.txt.

# The version for C++ code (the tools' --version).
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
               ${PROJECT_BINARY_DIR}/generated/tovaro_version.h @ONLY)

# Characters carry their modules inside every update they publish, so each user
# downloads the DLL again and again: the module and the libraries it is made of are
# built for size on Windows (-Os, each function and datum in a section of its own
# so that the linker can drop what is unused); src/module/runtime_windows.cc keeps
# two costly pieces of the C++ run-time out. -ffile-prefix-map keeps the
# build machine's folders out of the binary and its debug file, so that two builds
# in different folders give the same bytes.
function(tovaro_shipped target)
  if(WIN32 AND NOT MSVC)
    target_compile_options(${target} PRIVATE -Os -ffunction-sections -fdata-sections
                           "-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=")
  endif()
endfunction()

# A version resource for TARGET, a DLL or a program, so that Windows shows in its
# Properties what the file is and which release it comes from.
function(tovaro_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(TOVARO_FILE_TYPE VFT_APP)
    set(TOVARO_FILE_NAME ${target}.exe)
  else()
    set(TOVARO_FILE_TYPE VFT_DLL)
    set(TOVARO_FILE_NAME ${target}.dll)
  endif()
  set(TOVARO_FILE_DESCRIPTION "${description}")
  set(file ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${file} @ONLY)
  target_sources(${target} PRIVATE ${file})
endfunction()
