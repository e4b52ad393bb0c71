# Checks what the built engine library shows to the outside: exactly one export, `interface1` (ordinal 1
# on Windows), only system DLLs imported, and the version record.
# cmake -DLIBRARY=... -DTARGET_WINDOWS=ON|OFF [-DOBJDUMP=... -DWINDRES=...] -P check_library_surface.cmake
function(fail message)
  message(FATAL_ERROR "${LIBRARY}: ${message}")
endfunction()

if(TARGET_WINDOWS)
  # The module name and the version record's names are the file's own: qtvsum.dll, or qtvsum64.dll for
  # the 64-bit engine.
  get_filename_component(file_name "${LIBRARY}" NAME)
  if(NOT file_name MATCHES "^qtvsum(64)?\\.dll$")
    fail("unexpected engine file name ${file_name}")
  endif()
  execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    fail("objdump failed")
  endif()
  # One name, one address, and the ordinal base 1: `interface1` is ordinal 1.
  string(REGEX MATCH "Name[ \t]+[0-9a-f]+ ([^\n]+)" name "${dump}")
  set(name "${CMAKE_MATCH_1}")
  string(REGEX MATCH "Ordinal Base[ \t]+([0-9]+)" base "${dump}")
  set(base "${CMAKE_MATCH_1}")
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([^\n]+\n)*)" table "${dump}")
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_@0-9]+" names "${CMAKE_MATCH_1}")
  string(REGEX MATCHALL "\\+base\\[ *[0-9]+\\]" addresses "${dump}")
  if(NOT name STREQUAL file_name OR NOT base STREQUAL "1" OR NOT names MATCHES "^\\[ *0\\] interface1$"
     OR NOT addresses MATCHES "^\\+base\\[ *1\\]$")
    fail("exports are '${names}' at '${addresses}' (base ${base}, ${name}), expected only interface1 at ordinal 1")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  foreach(import IN LISTS imports)
    string(TOLOWER "${import}" import)
    if(NOT import MATCHES "dll name: (kernel32|msvcrt|user32|advapi32|ntdll)\\.dll")
      fail("imports a non-system DLL: ${import}")
    endif()
  endforeach()
  execute_process(COMMAND ${WINDRES} -i ${LIBRARY} -O rc OUTPUT_VARIABLE rc_text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    fail("windres could not read the resources")
  endif()
  foreach(expected
      "FILEVERSION 1, 0, 0, 1" "PRODUCTVERSION 1, 0, 0, 1" "BLOCK \"040904b0\""
      "VALUE \"FileDescription\", \"QTV Checksum DLL\"" "VALUE \"ProductName\", \"QTV Checksum DLL\""
      "VALUE \"FileVersion\", \"1, 0, 0, 1\"" "VALUE \"ProductVersion\", \"1, 0, 0, 1\""
      "VALUE \"InternalName\", \"${file_name}\"" "VALUE \"OriginalFilename\", \"${file_name}\""
      "VALUE \"Translation\", 0x409, 1200")
    string(FIND "${rc_text}" "${expected}" at)
    string(REGEX MATCHALL "VERSIONINFO" records "${rc_text}")
    list(LENGTH records count)
    if(NOT count EQUAL 1)
      fail("carries ${count} version records, expected one")
    endif()
    if(at EQUAL -1)
      fail("version record lacks ${expected}")
    endif()
  endforeach()
else()
  execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    fail("nm failed")
  endif()
  string(REGEX MATCHALL "[^\n]+" symbols "${dump}")
  if(NOT symbols MATCHES "^[0-9a-f]+ T interface1$")
    fail("exported symbols are '${symbols}', expected only interface1")
  endif()
endif()
message(STATUS "${LIBRARY}: exports and version record as expected")
