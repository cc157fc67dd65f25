# Fails unless the dynamic symbol table defines HRZCmd and no other symbol of the module.
# Symbols of the standard library's namespace (vague-linkage objects such as
# std::piecewise_construct in the sanitizer build) are not the module's own.
execute_process(COMMAND nm -D --defined-only ${LIB} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${out}")
set(found_entry FALSE)
foreach(line ${lines})
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] " "" name "${line}")
  if(name STREQUAL "HRZCmd")
    set(found_entry TRUE)
  elseif(NOT name MATCHES "^_(init|fini|edata|end|_bss_start)$" AND NOT name MATCHES "@"
         AND NOT name MATCHES "^_Z(N|NK|GVZN)?St")
    message(FATAL_ERROR "unexpected exported symbol: ${line}")
  endif()
endforeach()
if(NOT found_entry)
  message(FATAL_ERROR "HRZCmd is not exported")
endif()
message(STATUS "exports: HRZCmd only")
