# The Windows package, dist/tovaro-VERSION-windows.zip, made by CPack from this
# (32-bit) build and the 64-bit one: `cpack` in this build folder, or
# scripts/package, which builds both DLLs first and makes the same bytes from any
# folder. Included by the top-level CMakeLists.txt in the 32-bit Windows build.
#
#   tovaro.dll        the 32-bit DLL that script authors install
#   x64/tovaro.dll    the 64-bit DLL, for 64-bit hosts
#   tools/saori-call.exe, tools/talk-listener.exe
#                     the two tools, 32-bit, to see on Windows what arrives
#   readme.txt        docs/readme.ja.md (for script authors, in Japanese)
#   readme-en.txt     docs/readme.en.md (the same in English)
#   LICENSE.txt       LICENSE
#   THIRD-PARTY-NOTICES.txt  THIRD-PARTY-NOTICES (what of other projects is linked in)
#   BUILDINFO.txt     what built the package (written by scripts/package)
#   CHANGELOG.txt     CHANGELOG.md
#
# The texts are UTF-8 with a byte order mark and CR LF line ends, so that Windows
# Notepad, old versions included, opens them with the Japanese intact.

set(TOVARO_PACKAGE_X64_BUILD ${PROJECT_SOURCE_DIR}/build/windows64 CACHE PATH
    "The 64-bit Windows build whose tovaro.dll goes into the package as x64/tovaro.dll")
set(TOVARO_PACKAGE_OUTPUT ${PROJECT_SOURCE_DIR}/dist CACHE PATH
    "Where cpack puts the package")

string(ASCII 239 187 191 utf8_byte_order_mark)
set(texts_dir ${CMAKE_BINARY_DIR}/package-texts)
foreach(pair "docs/readme.ja.md=readme.txt" "docs/readme.en.md=readme-en.txt" "LICENSE=LICENSE.txt"
             "THIRD-PARTY-NOTICES=THIRD-PARTY-NOTICES.txt" "CHANGELOG.md=CHANGELOG.txt")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 source)
  list(GET pair 1 target)
  file(READ ${PROJECT_SOURCE_DIR}/${source} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${texts_dir}/${target} "${utf8_byte_order_mark}${text}")
  install(FILES ${texts_dir}/${target} DESTINATION . COMPONENT texts)
  # A changed text is written again at the next build.
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/${source})
endforeach()

# Written by scripts/package just before cpack, from the machine's package versions.
install(FILES ${CMAKE_BINARY_DIR}/BUILDINFO.txt DESTINATION . COMPONENT texts OPTIONAL)

set(CPACK_PACKAGE_NAME tovaro)
set(CPACK_PACKAGE_VENDOR "tovaro contributors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME tovaro-${PROJECT_VERSION}-windows)
# The zip is written by cmake/zip_package.cmake, which makes the same bytes every
# time; CPack stages the files and runs it.
set(CPACK_GENERATOR External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/zip_package.cmake)
set(CPACK_TOVARO_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/cpack)
set(CPACK_OUTPUT_FILE_PREFIX ${TOVARO_PACKAGE_OUTPUT})
# Build folder, project, component, folder in the package.
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_BINARY_DIR};tovaro;module;/"
    "${CMAKE_BINARY_DIR};tovaro;texts;/"
    "${CMAKE_BINARY_DIR};tovaro;tools;/"
    "${TOVARO_PACKAGE_X64_BUILD};tovaro;module;/x64")
include(CPack)
