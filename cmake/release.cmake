# What a release needs from the build: the shipped Windows DLL built small and the
# same from any folder, and the project's version where Windows and the tools show
# it. Included by the top-level CMakeLists.txt.

# The version for C++ code (the tools' --version).
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
               ${PROJECT_BINARY_DIR}/generated/tovaro_version.h @ONLY)

option(TOVARO_SPLIT_DEBUG
  "Strip the Linux module and tools as the Linux package ships them, each with its debug information in NAME.debug beside it"
  OFF)

# -ffile-prefix-map keeps the build machine's folders out of a binary and its
# debug file, so that two builds in different folders give the same bytes. For
# everything a package holds, and the libraries it is made of.
function(tovaro_same_bytes target)
  if(NOT MSVC)
    target_compile_options(${target} PRIVATE "-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=")
  endif()
endfunction()

# Characters carry their modules inside every update they publish, so each user
# downloads the DLL again and again: the module and the libraries it is made of are
# built for size on Windows (-Os, each function and datum in a section of its own
# so that the linker can drop what is unused); src/module/runtime_windows.cc keeps
# two costly pieces of the C++ run-time out.
function(tovaro_shipped target)
  tovaro_same_bytes(${target})
  if(WIN32 AND NOT MSVC)
    target_compile_options(${target} PRIVATE -Os -ffunction-sections -fdata-sections)
  endif()
endfunction()

# Moves TARGET's debug information to TARGET.debug beside it, which is not
# shipped, and strips TARGET, which names that file (with its checksum) so that a
# debugger or a crash report reader finds it. objcopy stamps the files it writes
# with the time (or SOURCE_DATE_EPOCH): 0, as the linker left it, so that every
# build of the same sources is the same bytes.
function(tovaro_split_debug target)
  set(objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${objcopy} --only-keep-debug $<TARGET_FILE_NAME:${target}>
            $<TARGET_FILE_NAME:${target}>.debug
    COMMAND ${objcopy} --strip-all
            --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug
            $<TARGET_FILE_NAME:${target}>
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    VERBATIM)
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
