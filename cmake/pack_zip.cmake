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
  set(${out} "${date}" PARENT_SCOPE)
endfunction()

# Python's zipfile, since cmake's own archiver writes each file's access and change times.
find_program(KESTROVA_PYTHON3 NAMES python3 python HINTS /usr/bin REQUIRED)

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
    COMMAND ${KESTROVA_PYTHON3} ${CMAKE_SOURCE_DIR}/cmake/pack_zip.py ${ARG_OUTPUT} ${source_date} ${inputs}
    WORKING_DIRECTORY ${ARG_SOURCE_DIR}
    DEPENDS ${absolute_inputs} ${CMAKE_SOURCE_DIR}/cmake/pack_zip.py
    COMMENT "Packing ${ARG_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${ARG_OUTPUT})
endfunction()
