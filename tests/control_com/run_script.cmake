# Runs a script under Wine's cscript and judges what it printed. A script error stops cscript silently
# with exit code 0, so a test script must end by printing DONE, and prints FAIL lines for wrong results.
#   cmake -DDETACH=<run_detached.sh> -DEMULATOR=<wine-run.sh> -DSCRIPT=<file in the working folder> [-DTEMP_FOLDER=C:\...]
#         [-DARGUMENTS=a|b] [-DEXPECT=text|text] -P run_script.cmake
# TEMP_FOLDER: the script's TEMP and TMP, given to it by a command interpreter that starts it.
# EXPECT: texts the output must contain, instead of the DONE sentinel (for scripts written for users).
string(REPLACE "|" ";" ARGUMENTS "${ARGUMENTS}")
string(REPLACE "|" ";" EXPECT "${EXPECT}")
set(command ${DETACH} ${EMULATOR})
if(TEMP_FOLDER)
  list(JOIN ARGUMENTS " " joined)
  list(APPEND command cmd /c "set TEMP=${TEMP_FOLDER}&& set TMP=${TEMP_FOLDER}&& cscript //nologo ${SCRIPT} ${joined}")
else()
  list(APPEND command cscript //nologo ${SCRIPT} ${ARGUMENTS})
endif()
execute_process(COMMAND ${command} OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE result
                TIMEOUT 110)
string(REPLACE "\r" "" output "${output}")
message("${output}${errors}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${SCRIPT}: exit code ${result}")
endif()
if(output MATCHES "(^|\n)FAIL")
  message(FATAL_ERROR "${SCRIPT}: a check failed")
endif()
if(EXPECT)
  foreach(text IN LISTS EXPECT)
    string(FIND "${output}" "${text}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${SCRIPT}: the output lacks '${text}'")
    endif()
  endforeach()
elseif(NOT output MATCHES "(^|\n)DONE\n*$")
  message(FATAL_ERROR "${SCRIPT}: stopped before DONE (a script error?)")
endif()
