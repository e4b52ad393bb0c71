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
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${file}.debug ${file}
    COMMENT "Moving the debug information of ${target} into $<TARGET_FILE_NAME:${target}>.debug"
    VERBATIM)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/QTVSigning.cmake)
