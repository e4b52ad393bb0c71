# GoogleTest from Debian's source package, built for whichever target this tree builds.
set(QTV_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${QTV_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# Windows programs run through the emulator with their output in a file, shown when they end: Wine
# starts its background processes (desktop, RPC service) from whichever program needs them first, and
# they would keep that program's output open on ctest's pipe; and what a program wrote is kept whole
# even when it ends abnormally, whatever kind of channel ctest reads from.
set(QTV_DETACHED_EMULATOR ${PROJECT_SOURCE_DIR}/tests/support/run_detached.sh ${CMAKE_CROSSCOMPILING_EMULATOR})

# qtv_add_gtest(name SOURCES ... [LIBRARIES ...] [LABELS ...] [TIMEOUT s])
# One test program; each of its test cases becomes a ctest test. On Windows the program runs under Wine
# through the cross-compiling emulator, detached.
function(qtv_add_gtest name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "TIMEOUT" "SOURCES;LIBRARIES;LABELS")
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBRARIES} GTest::gmock GTest::gtest_main qtv_warnings
                                        qtv_static_program)
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 120)
  endif()
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${QTV_DETACHED_EMULATOR}")
  endif()
  set(properties TIMEOUT ${arg_TIMEOUT})
  if(arg_LABELS)
    list(APPEND properties LABELS "${arg_LABELS}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${QTV_BINARY_FOLDER}
    PROPERTIES ${properties})
endfunction()

# qtv_add_com_client(name LABEL label FIXTURE fixture SOURCES ... [LIBRARIES ...] [PROPERTIES ...])
# A Windows program that uses the registered control library as its clients do; each of its test cases
# becomes a ctest test named <label>.<case> that needs the given fixture, with the further test
# properties given. It runs detached under Wine.
function(qtv_add_com_client name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "LABEL;FIXTURE" "SOURCES;LIBRARIES;PROPERTIES")
  add_executable(${name} ${arg_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${arg_LIBRARIES} GTest::gtest_main ole32 oleaut32 uuid qtv_warnings
                                        qtv_static_program)
  target_compile_definitions(${name} PRIVATE QTV_CONTROL_LIBRARY=L"$<TARGET_FILE_NAME:qtvchecksums100>")
  add_dependencies(${name} qtvchecksums100)
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${QTV_DETACHED_EMULATOR}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    TEST_PREFIX ${arg_LABEL}.
    WORKING_DIRECTORY ${QTV_BINARY_FOLDER}
    PROPERTIES TIMEOUT 120 LABELS ${arg_LABEL} FIXTURES_REQUIRED ${arg_FIXTURE} ${arg_PROPERTIES})
endfunction()
