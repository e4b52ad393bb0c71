# The component side of the Windows control library qtvchecksums100.ocx: the type library, written at
# build time from control/type_library.h, the control object with the interfaces containers site and
# save it through, class factory, self-registration and entry points, and the library's own resources
# (type library, toolbox bitmap, version record).
# Included from control/CMakeLists.txt in that folder's scope, once the target qtvchecksums100 exists.
set(qtv_com_dir ${CMAKE_CURRENT_LIST_DIR})

# A Windows program run through the emulator while building: the system's type library writer sets
# every order, flag and version of the library, which the interface compiler cannot.
add_executable(qtv_type_library_builder ${qtv_com_dir}/type_library_builder.cpp)
set_target_properties(qtv_type_library_builder PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
target_include_directories(qtv_type_library_builder PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(qtv_type_library_builder PRIVATE oleaut32 ole32 uuid qtv_warnings qtv_static_program)

set(qtv_type_library ${CMAKE_CURRENT_BINARY_DIR}/QTVChecksum100.tlb)
add_custom_command(OUTPUT ${qtv_type_library}
  COMMAND qtv_type_library_builder QTVChecksum100.tlb
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
  DEPENDS qtv_type_library_builder
  COMMENT "Writing the type library QTVChecksum100.tlb"
  VERBATIM)

set(qtv_control_resources ${PROJECT_SOURCE_DIR}/resources/control.rc)
set_source_files_properties(${qtv_control_resources} PROPERTIES
  INCLUDE_DIRECTORIES "${CMAKE_CURRENT_BINARY_DIR};${PROJECT_SOURCE_DIR}/resources;${PROJECT_SOURCE_DIR}"
  OBJECT_DEPENDS "${qtv_type_library};${PROJECT_SOURCE_DIR}/resources/toolbox.bmp;${PROJECT_SOURCE_DIR}/control/control_registration.h")

target_sources(qtvchecksums100 PRIVATE
  ${qtv_com_dir}/checksum_object.cpp
  ${qtv_com_dir}/class_factory.cpp
  ${qtv_com_dir}/connection_point.cpp
  ${qtv_com_dir}/errors.cpp
  ${qtv_com_dir}/module.cpp
  ${qtv_com_dir}/ole_box.cpp
  ${qtv_com_dir}/ole_control.cpp
  ${qtv_com_dir}/ole_persistence.cpp
  ${qtv_com_dir}/registration.cpp
  ${qtv_com_dir}/server.cpp
  ${qtv_com_dir}/control.def
  ${qtv_control_resources})
target_link_libraries(qtvchecksums100 PRIVATE oleaut32 ole32 uuid user32 gdi32)
# The about box's dialog frame and icon: About loads them from the library the about code is linked into.
target_link_libraries(qtvchecksums100 PRIVATE qtv_about_resources)
# The entry points are stdcall; the .def names them undecorated.
target_link_options(qtvchecksums100 PRIVATE -Wl,--enable-stdcall-fixup)

# The assembly manifest beside the library (NAME.manifest beside NAME.ocx), with which programs use the
# control unregistered, and the manifest of such a program: written from the built library by a Windows
# program run through the emulator, from the same facts registration writes.
add_executable(qtv_manifest_writer ${qtv_com_dir}/manifest_writer.cpp)
set_target_properties(qtv_manifest_writer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
target_include_directories(qtv_manifest_writer PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(qtv_manifest_writer PRIVATE oleaut32 ole32 uuid qtv_warnings qtv_static_program)
set(QTV_CONTROL_MANIFEST ${QTV_BINARY_FOLDER}/qtvchecksums100.manifest)
set(QTV_PROGRAM_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/program.exe.manifest)
file(RELATIVE_PATH program_manifest ${QTV_BINARY_FOLDER} ${QTV_PROGRAM_MANIFEST})
add_custom_command(OUTPUT ${QTV_CONTROL_MANIFEST} ${QTV_PROGRAM_MANIFEST}
  COMMAND qtv_manifest_writer $<TARGET_FILE_NAME:qtvchecksums100> qtvchecksums100.manifest ${program_manifest}
  WORKING_DIRECTORY ${QTV_BINARY_FOLDER}
  DEPENDS qtv_manifest_writer qtvchecksums100
  COMMENT "Writing the assembly manifest qtvchecksums100.manifest"
  VERBATIM)
add_custom_target(qtv_control_manifest ALL DEPENDS ${QTV_CONTROL_MANIFEST} ${QTV_PROGRAM_MANIFEST})
set(QTV_CONTROL_MANIFEST ${QTV_CONTROL_MANIFEST} PARENT_SCOPE)
set(QTV_PROGRAM_MANIFEST ${QTV_PROGRAM_MANIFEST} PARENT_SCOPE)
