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
