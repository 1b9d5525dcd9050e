# kestrova_check_update_key(VARIABLE): stops the configuration unless the variable is
# empty or holds one public key X||Y as 128 hexadecimal digits, or two separated by a
# comma (the current key and the next). A malformed key would build an updater that
# refuses every update, stranding the installed copies.
function(kestrova_check_update_key variable)
  set(key "${${variable}}")
  set(hex128 "[0-9A-Fa-f]")
  string(REPEAT "${hex128}" 128 hex128)
  if(NOT key STREQUAL "" AND NOT key MATCHES "^${hex128}(,${hex128})?$")
    message(FATAL_ERROR "${variable} must be empty or one public key X||Y as 128 hexadecimal digits, "
                        "or two such keys separated by a comma (current,next); "
                        "tools/publish_update.py keygen prints one")
  endif()
endfunction()
