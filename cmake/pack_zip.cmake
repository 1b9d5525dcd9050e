# kestrova_pack_zip(<target> OUTPUT <zip path> SOURCE_DIR <folder>)
# Packs every file below the folder (paths relative to it) into a zip archive that the
# skin library reads at run time; rebuilt whenever a file of the folder changes.
function(kestrova_pack_zip target)
  cmake_parse_arguments(ARG "" "OUTPUT;SOURCE_DIR" "" ${ARGN})
  file(GLOB_RECURSE inputs CONFIGURE_DEPENDS RELATIVE ${ARG_SOURCE_DIR} ${ARG_SOURCE_DIR}/*)
  list(SORT inputs)
  set(absolute_inputs)
  foreach(input IN LISTS inputs)
    list(APPEND absolute_inputs ${ARG_SOURCE_DIR}/${input})
  endforeach()
  add_custom_command(
    OUTPUT ${ARG_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${ARG_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${ARG_OUTPUT} --format=zip -- ${inputs}
    WORKING_DIRECTORY ${ARG_SOURCE_DIR}
    DEPENDS ${absolute_inputs}
    COMMENT "Packing ${ARG_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${ARG_OUTPUT})
endfunction()
