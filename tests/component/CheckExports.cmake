# cmake -DNM=nm -DLIBRARY=libZevWorkCal.so -P CheckExports.cmake
# Fails unless the library's dynamic symbol table defines exactly the server entry points.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" names "${symbols}")
set(exported)
foreach(line ${names})
    string(STRIP "${line}" name)
    list(APPEND exported ${name})
endforeach()
list(SORT exported)
set(expected DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer)
if(NOT exported STREQUAL expected)
    message(FATAL_ERROR "exported: ${exported}\nexpected: ${expected}")
endif()
