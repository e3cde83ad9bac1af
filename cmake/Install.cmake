# What `cmake --install` puts into a prefix, and the Debian package cpack makes of it:
#   bin/zevworkcal                       the command line
#   lib/libZevWorkCal.so                 the component library (hosts load it by path)
#   include/zevworkcal/...               the public C headers, in their source layout
#   share/zevworkcal/resources/          the translation catalogues
#   lib/cmake/ZevWorkCal/                find_package(ZevWorkCal): ZevWorkCal::ZevWorkCal,
#                                        ZevWorkCal::Headers
#   lib/pkgconfig/zevworkcal.pc          the same for pkg-config
# The library and the programs find the catalogues at ../share beside their own folder,
# so lib/ stays lib/ (no multiarch folder), and the tree can be moved as a whole.

include(CMakePackageConfigHelpers)

set(ZEV_INCLUDE_DIR include/zevworkcal)
set(ZEV_PUBLIC_HEADERS
    platform/automation/ComAbi.h
    component/ZevWorkCal.h)

# The headers alone, for hosts that load the library at run time (dlopen) and link
# nothing of it.
add_library(zev_public_headers INTERFACE)
target_include_directories(zev_public_headers INTERFACE
    $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}> $<INSTALL_INTERFACE:${ZEV_INCLUDE_DIR}>)
set_target_properties(zev_public_headers PROPERTIES EXPORT_NAME Headers)
target_link_libraries(ZevWorkCal INTERFACE zev_public_headers)

install(TARGETS zevworkcal RUNTIME DESTINATION bin)
install(TARGETS ZevWorkCal zev_public_headers EXPORT ZevWorkCalTargets
        LIBRARY DESTINATION lib)
foreach(header ${ZEV_PUBLIC_HEADERS})
    get_filename_component(folder ${header} DIRECTORY)
    install(FILES ${CMAKE_SOURCE_DIR}/${header} DESTINATION ${ZEV_INCLUDE_DIR}/${folder})
endforeach()
install(DIRECTORY ${ZEV_RESOURCE_DIR}/ DESTINATION share/zevworkcal/resources)

install(EXPORT ZevWorkCalTargets NAMESPACE ZevWorkCal:: DESTINATION lib/cmake/ZevWorkCal)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/ZevWorkCalConfig.cmake.in
    ${CMAKE_BINARY_DIR}/ZevWorkCalConfig.cmake INSTALL_DESTINATION lib/cmake/ZevWorkCal)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/ZevWorkCalConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/ZevWorkCalConfig.cmake
              ${CMAKE_BINARY_DIR}/ZevWorkCalConfigVersion.cmake
        DESTINATION lib/cmake/ZevWorkCal)
configure_file(${CMAKE_SOURCE_DIR}/cmake/zevworkcal.pc.in ${CMAKE_BINARY_DIR}/zevworkcal.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/zevworkcal.pc DESTINATION lib/pkgconfig)

# cpack -G DEB
set(CPACK_PACKAGE_NAME zevworkcal)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ZevWorkCal")
set(CPACK_PACKAGE_CONTACT "ZevWorkCal developers <zevworkcal@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Factory calendar: work days and rest days, a date service and its command line")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
