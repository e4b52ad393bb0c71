# Compiler settings shared by every target of the project.
add_library(qtv_warnings INTERFACE)
add_library(QTV::warnings ALIAS qtv_warnings)
target_compile_options(qtv_warnings INTERFACE
  $<$<COMPILE_LANGUAGE:CXX,C>:-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion>)
if(QTV_WARNINGS_AS_ERRORS)
  target_compile_options(qtv_warnings INTERFACE $<$<COMPILE_LANGUAGE:CXX,C>:-Werror>)
endif()

if(WIN32)
  # Ship binaries that import only system DLLs: no MinGW runtime beside them. Only the runtime objects
  # that are used come in (a whole winpthread archive would bring its own version record along).
  add_library(qtv_static_runtime INTERFACE)
  target_link_options(qtv_static_runtime INTERFACE -static)
  # Test and example programs: fully static, or Wine fails them for a missing runtime DLL.
  add_library(qtv_static_program INTERFACE)
  target_link_options(qtv_static_program INTERFACE -static)
else()
  add_library(qtv_static_runtime INTERFACE)
  add_library(qtv_static_program INTERFACE)
endif()

# Every shipped file is the same bytes from the same commit, whoever builds it, wherever and whenever.
# The one time a build may write is the last commit's (SOURCE_DATE_EPOCH, read by GCC, binutils' PE time
# stamps and the packaging steps); a caller that sets it (or QTV_SOURCE_DATE_EPOCH, which the build
# passes on to its inner builds) chooses it instead.
set(QTV_SOURCE_DATE_EPOCH "" CACHE STRING
    "The build's time in seconds since 1970 (empty: SOURCE_DATE_EPOCH, else the last commit's time)")
if(QTV_SOURCE_DATE_EPOCH)
  set(QTV_BUILD_TIME ${QTV_SOURCE_DATE_EPOCH})
elseif(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(QTV_BUILD_TIME $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE QTV_BUILD_TIME OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  # Configured again after each commit or checkout, so that the time follows the commit.
  execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} rev-parse --path-format=absolute --git-path logs/HEAD
                  OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(head_log AND EXISTS "${head_log}")
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${head_log})
  endif()
endif()
if(NOT QTV_BUILD_TIME MATCHES "^[0-9]+$")
  message(FATAL_ERROR "The build's time cannot be known: this source tree has no git history and "
                      "SOURCE_DATE_EPOCH is not set (set it to the release's time, in seconds since 1970)")
endif()
# Every compiler and linker run sees the time; packaging steps take it through QTV_WITH_BUILD_TIME.
set(QTV_WITH_BUILD_TIME ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${QTV_BUILD_TIME} TZ=UTC)
string(JOIN " " launcher ${QTV_WITH_BUILD_TIME})
set_property(GLOBAL PROPERTY RULE_LAUNCH_COMPILE "${launcher}")
set_property(GLOBAL PROPERTY RULE_LAUNCH_LINK "${launcher}")
# The source and build folders' names stay out of the debug information, of __FILE__, and so of the
# debug-link checksum and the Linux build id, which follow from the bytes. The build folder's map comes
# last, so that it wins where the build folder lies inside the sources; neither ends in a slash, so that
# the compiler's working folder (the build folder itself) is mapped too.
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
                    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}=build>")

# The public headers, include/qtvchecksum/: the tree's own code includes them from where users do.
add_library(qtv_public_headers INTERFACE)
target_include_directories(qtv_public_headers INTERFACE ${PROJECT_SOURCE_DIR}/include)

# What ships carries no debug information: after each link the library's debug information moves to
# FILE.debug beside it, and the library keeps only a link to that file, which debuggers follow, so a
# crash can still be read. The sanitizer presets keep it inside, where their reports look for it.
option(QTV_SPLIT_DEBUG_INFO "Move the shipped libraries' debug information into FILE.debug beside them" ON)
function(qtv_split_debug_info target)
  if(NOT QTV_SPLIT_DEBUG_INFO)
    return()
  endif()
  if(NOT CMAKE_OBJCOPY)
    message(FATAL_ERROR "objcopy is needed to split the debug information of ${target}")
  endif()
  set(file $<TARGET_FILE:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${QTV_WITH_BUILD_TIME} ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
    COMMAND ${QTV_WITH_BUILD_TIME} ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${file}.debug ${file}
    COMMENT "Moving the debug information of ${target} into $<TARGET_FILE_NAME:${target}>.debug"
    VERBATIM)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/QTVSigning.cmake)
