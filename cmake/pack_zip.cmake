# kestrova_pack_zip(<target> OUTPUT <zip path> SOURCE_DIR <folder>)
# Packs every file below the folder (paths relative to it) into a zip archive that the
# skin library reads at run time; rebuilt whenever a file of the folder changes. Every
# entry carries the date of the last commit that changed the folder, not the checkout's file
# times: two clones of one commit pack the same bytes, and so does the next release when
# the skin did not change, so installations need not fetch it again.

# The date, in UTC, of the last commit that changed folder; outside a git checkout a fixed date.
function(kestrova_source_date out folder)
  find_package(Git QUIET)
  set(date "")
  if(GIT_FOUND)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${GIT_EXECUTABLE} log -1 --format=%cd "--date=format-local:%Y-%m-%d %H:%M:%S" -- .
      WORKING_DIRECTORY ${folder} OUTPUT_VARIABLE date OUTPUT_STRIP_TRAILING_WHITESPACE
      ERROR_QUIET RESULT_VARIABLE failed)
    if(failed)
      set(date "")
    endif()
  endif()
  if(date STREQUAL "")
    set(date "2000-01-01 00:00:00")
  endif()
  set(${out} "${date} UTC" PARENT_SCOPE)
endfunction()

function(kestrova_pack_zip target)
  cmake_parse_arguments(ARG "" "OUTPUT;SOURCE_DIR" "" ${ARGN})
  file(GLOB_RECURSE inputs CONFIGURE_DEPENDS RELATIVE ${ARG_SOURCE_DIR} ${ARG_SOURCE_DIR}/*)
  list(SORT inputs)
  kestrova_source_date(source_date ${ARG_SOURCE_DIR})
  set(absolute_inputs)
  foreach(input IN LISTS inputs)
    list(APPEND absolute_inputs ${ARG_SOURCE_DIR}/${input})
  endforeach()
  add_custom_command(
    OUTPUT ${ARG_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${ARG_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${ARG_OUTPUT} --format=zip --mtime=${source_date} -- ${inputs}
    WORKING_DIRECTORY ${ARG_SOURCE_DIR}
    DEPENDS ${absolute_inputs}
    COMMENT "Packing ${ARG_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${ARG_OUTPUT})
endfunction()
