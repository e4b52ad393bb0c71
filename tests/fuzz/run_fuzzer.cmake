# Runs one fuzz target for ctest.
#   MODE=replay: every seed and regression input once, nothing else.
#   MODE=run:    a campaign that starts from those inputs; what it finds goes to WORK, never to the
#                source tree (libFuzzer writes new inputs into the first folder it is given).
# A crash, leak, sanitizer report or failed check ends the target with a non-zero status; its input is
# left in WORK as crash-*, leak-*, ... for moving to the regression folder.
cmake_minimum_required(VERSION 3.25)

set(files)
foreach(folder IN LISTS INPUTS)
  file(GLOB found LIST_DIRECTORIES false ${folder}/*)
  list(FILTER found EXCLUDE REGEX "/\\.[^/]*$") # .gitkeep and the like
  list(APPEND files ${found})
endforeach()

file(MAKE_DIRECTORY ${WORK})
if(MODE STREQUAL "replay")
  if(NOT files)
    message(FATAL_ERROR "no inputs in ${INPUTS}")
  endif()
  execute_process(COMMAND ${FUZZER} ${OPTIONS} -artifact_prefix=${WORK}/ ${files} RESULT_VARIABLE status)
else()
  set(corpus ${WORK}/corpus)
  file(REMOVE_RECURSE ${corpus})
  file(MAKE_DIRECTORY ${corpus})
  file(COPY ${files} DESTINATION ${corpus})
  execute_process(COMMAND ${FUZZER} ${OPTIONS} -artifact_prefix=${WORK}/ -print_final_stats=1 ${corpus}
                  RESULT_VARIABLE status)
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${FUZZER} ended with ${status}")
endif()
