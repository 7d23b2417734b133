# Packs what CPack staged into CPACK_PACKAGE_FILE_NAME.zip, the same bytes from
# every run: the entries in sorted order, each stamped with the time of the last
# commit (SOURCE_DATE_EPOCH, which scripts/package sets; else asked of git) in UTC,
# and nothing else of the file system (zip -X: no owners, no access or change
# times). CPack's own ZIP generator takes the files in the order the file system
# lists them and stamps them with the install time. Run by CPack's External
# generator (cmake/package.cmake); needs Info-ZIP's zip.

find_program(TOVARO_ZIP zip)
if(NOT TOVARO_ZIP)
  message(FATAL_ERROR "zip is not installed (scripts/install-deps package)")
endif()
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git log -1 --format=%ct
                  WORKING_DIRECTORY ${CPACK_TOVARO_SOURCE_DIR}
                  OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE git_status ERROR_QUIET)
  if(NOT git_status EQUAL 0 OR commit_time STREQUAL "")
    message(FATAL_ERROR "no SOURCE_DATE_EPOCH, and git can't tell the last commit's time")
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
endif()
# string(TIMESTAMP) gives SOURCE_DATE_EPOCH's time when it is set; as touch reads it.
string(TIMESTAMP stamp "%Y%m%d%H%M.%S" UTC)

file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${CPACK_TEMPORARY_DIRECTORY}
     ${CPACK_TEMPORARY_DIRECTORY}/*)
list(SORT files)

set(zip ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip)
file(REMOVE ${zip})
# A zip entry holds local time: UTC, so that every machine writes the same bytes.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TZ=UTC touch -t ${stamp} ${files}
  COMMAND_ERROR_IS_FATAL ANY
  WORKING_DIRECTORY ${CPACK_TEMPORARY_DIRECTORY})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${TOVARO_ZIP} -X -D -q ${zip} ${files}
  COMMAND_ERROR_IS_FATAL ANY
  WORKING_DIRECTORY ${CPACK_TEMPORARY_DIRECTORY})
set(CPACK_EXTERNAL_BUILT_PACKAGES ${zip})
