# What `cmake --install` puts into a prefix (the folders are GNUInstallDirs', so Debian's
# tools place the library in lib/<multiarch>/):
#   bin/zevworkcal                          the command line
#   lib/libZevWorkCal.so.1 (.so.1.0.0)      the component library, which hosts load
#   lib/libZevWorkCal.so                    the link for building against it
#   lib/zevworkcal/libZevWorkCalQt.so       the window's Qt module, loaded at the first Show
#   include/zevworkcal/zevworkcal.h         the public C header (with automation.h, the
#                                           binary automation interface it includes)
#   share/zevworkcal/resources/             the translation catalogues
#   share/man/man1/zevworkcal.1.gz          the manual page
#   share/bash-completion/completions/zevworkcal
#   lib/cmake/ZevWorkCal/                   find_package(ZevWorkCal): ZevWorkCal::ZevWorkCal,
#                                           ZevWorkCal::Headers
#   lib/pkgconfig/zevworkcal.pc             the same for pkg-config
# Everything is found from the file that looks for it, so the tree can be moved as a whole.

include(CMakePackageConfigHelpers)

set(ZEV_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZevWorkCal)
set(ZEV_PUBLIC_HEADERS include/zevworkcal/zevworkcal.h include/zevworkcal/automation.h)

# The headers alone, for hosts that load the library at run time (dlopen) and link
# nothing of it. Hosts include <zevworkcal/zevworkcal.h>.
add_library(zev_public_headers INTERFACE)
target_include_directories(zev_public_headers INTERFACE
    $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
set_target_properties(zev_public_headers PROPERTIES EXPORT_NAME Headers)
target_link_libraries(ZevWorkCal INTERFACE zev_public_headers)

install(TARGETS zevworkcal RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ZevWorkCal zev_public_headers EXPORT ZevWorkCalTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS ZevWorkCalQt LIBRARY DESTINATION ${ZEV_MODULE_INSTALL_DIR})
install(FILES ${ZEV_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zevworkcal)
install(DIRECTORY ${ZEV_RESOURCE_DIR}/ DESTINATION ${ZEV_RESOURCE_INSTALL_DIR})
install(FILES ${ZEV_MANUAL_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ZEV_BASH_COMPLETION} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

install(EXPORT ZevWorkCalTargets NAMESPACE ZevWorkCal:: DESTINATION ${ZEV_CMAKE_INSTALL_DIR})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/ZevWorkCalConfig.cmake.in
    ${CMAKE_BINARY_DIR}/ZevWorkCalConfig.cmake INSTALL_DESTINATION ${ZEV_CMAKE_INSTALL_DIR}
    PATH_VARS ZEV_RESOURCE_INSTALL_DIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/ZevWorkCalConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/ZevWorkCalConfig.cmake
              ${CMAKE_BINARY_DIR}/ZevWorkCalConfigVersion.cmake
        DESTINATION ${ZEV_CMAKE_INSTALL_DIR})

# pkg-config: the prefix from the file's own folder.
file(RELATIVE_PATH ZEV_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" ZEV_PC_TO_PREFIX "${ZEV_PC_TO_PREFIX}")
file(RELATIVE_PATH ZEV_PREFIX_TO_LIB ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_LIBDIR})
file(RELATIVE_PATH ZEV_PREFIX_TO_INCLUDE ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_INCLUDEDIR})
configure_file(${CMAKE_SOURCE_DIR}/cmake/zevworkcal.pc.in ${CMAKE_BINARY_DIR}/zevworkcal.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/zevworkcal.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
