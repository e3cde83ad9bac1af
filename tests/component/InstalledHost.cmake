# cmake -DBUILD=<build tree> -DWORK=<scratch folder> -DSOURCE=c_host.c -DCONSUMER=<folder of
#       installed_host> -DCC=<C compiler> [-DFLAGS=<sanitizer flags>] [-DSHOW=<ShowWindow.sh>]
#       -P InstalledHost.cmake
# Installs the build into a fresh prefix, builds c_host.c against the installed tree twice
# (a CMake project through find_package, and the compiler with pkg-config's flags), and
# runs both on the installed library, which must find its catalogues by itself. With SHOW,
# the window is opened from the prefix under Xvfb, by the program and by the host.
# ZEVWORKCAL_PROPS names the calendar database, as for c_host.

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        string(REPLACE ";" " " command "${ARGN}")
        message(FATAL_ERROR "${command} failed (${rc})\n${out}\n${err}")
    endif()
    set(output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
set(prefix ${WORK}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix})
foreach(file lib/libZevWorkCal.so lib/libZevWorkCal.so.1 lib/zevworkcal/libZevWorkCalQt.so
             bin/zevworkcal include/zevworkcal/zevworkcal.h include/zevworkcal/automation.h
             share/zevworkcal/resources/ZevManufacture/en.po share/man/man1/zevworkcal.1.gz
             share/bash-completion/completions/zevworkcal
             lib/cmake/ZevWorkCal/ZevWorkCalConfig.cmake lib/pkgconfig/zevworkcal.pc)
    if(NOT EXISTS ${prefix}/${file})
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()

run(${CMAKE_COMMAND} -S ${CONSUMER} -B ${WORK}/cmake-host -DCMAKE_PREFIX_PATH=${prefix}
    -DC_HOST_SOURCE=${SOURCE} -DCMAKE_C_COMPILER=${CC} "-DCMAKE_C_FLAGS=${FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK}/cmake-host)
file(READ ${WORK}/cmake-host/library.txt library)
if(NOT library STREQUAL "${prefix}/lib/libZevWorkCal.so.1")
    message(FATAL_ERROR "the package names ${library}")
endif()

run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/lib/pkgconfig pkg-config --cflags zevworkcal)
string(STRIP "${output}" cflags)
separate_arguments(cflags UNIX_COMMAND "${cflags} ${FLAGS}")
run(${CC} -std=c11 -Wall -Wextra -Werror ${cflags} ${SOURCE} -o ${WORK}/pkg-config-host -ldl)

# The installed program finds the installed catalogues beside its own folder.
run(${CMAKE_COMMAND} -E env --unset=ZEVWORKCAL_RESOURCES ${prefix}/bin/zevworkcal --lang en
    text "工厂日历")
if(NOT output STREQUAL "Factory Calendar\n")
    message(FATAL_ERROR "the installed program translated to: ${output}")
endif()

foreach(host ${WORK}/cmake-host/c_host ${WORK}/pkg-config-host)
    run(${CMAKE_COMMAND} -E env --unset=ZEVWORKCAL_RESOURCES ${host} ${library})
    message(STATUS "${host}: ${output}")
endforeach()

# The README's host, as a reader would build it, on a calendar the installed program makes.
file(READ ${README} readme)
string(REGEX MATCH "```c\n(.*int main[^`]*)```" block "${readme}")
if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "no host in ${README}")
endif()
file(WRITE ${WORK}/readme-host.c "${CMAKE_MATCH_1}")
run(${CC} -std=c11 -Wall -Wextra -Werror ${cflags} ${WORK}/readme-host.c -o ${WORK}/readme-host -ldl)
set(db ${WORK}/readme.db)
run(${prefix}/bin/zevworkcal --db ${db} init)
run(${prefix}/bin/zevworkcal --db ${db} generate 2026-01-05)
set(props "$ENV{ZEVWORKCAL_PROPS}")
set(ENV{ZEVWORKCAL_PROPS} "Provider=SQLite;Data Source={${db}};")
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/lib ${WORK}/readme-host)
set(ENV{ZEVWORKCAL_PROPS} "${props}")
if(NOT output STREQUAL "2026-12-14\n")
    message(FATAL_ERROR "the README's host answered: ${output}")
endif()

# The tree moved elsewhere still finds its module and catalogues: the window from there.
if(SHOW)
    set(moved ${WORK}/moved)
    file(RENAME ${prefix} ${moved})
    run(${SHOW} ${moved} ${WORK}/cmake-host/c_host)
    message(STATUS "${output}")
endif()
