# The archive library as an installed CMake package: find_package(varn) gives varn::archive,
# varn::versioninfo, varn::support and varn::framework.
include(CMakePackageConfigHelpers)
include(GNUInstallDirs)

install(EXPORT varnTargets NAMESPACE varn:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/varn)
configure_package_config_file(cmake/varnConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/varnConfig.cmake
                              INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/varn)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/varnConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/varnConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/varnConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/varn)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
