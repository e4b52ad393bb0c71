# Installing the Linux control library as a package: the shared library, its public headers
# (include/qtvchecksum/), a CMake package (find_package(QTVChecksum) gives QTV::qtvchecksum) and a
# pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QTV_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/QTVChecksum)

target_include_directories(qtvchecksum INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(TARGETS qtvchecksum EXPORT QTVChecksumTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/qtvchecksum DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT development)

install(EXPORT QTVChecksumTargets NAMESPACE QTV:: DESTINATION ${QTV_INSTALL_CMAKEDIR} COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/package/QTVChecksumConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/QTVChecksumConfig.cmake INSTALL_DESTINATION ${QTV_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/QTVChecksumConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/QTVChecksumConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/QTVChecksumConfigVersion.cmake
  DESTINATION ${QTV_INSTALL_CMAKEDIR} COMPONENT development)

configure_file(${CMAKE_CURRENT_LIST_DIR}/package/qtvchecksum.pc.in ${CMAKE_CURRENT_BINARY_DIR}/qtvchecksum.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/qtvchecksum.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT development)
