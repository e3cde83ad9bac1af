# cmake -DZEVWORKCAL=zevworkcal -DDB=file -P PrepareCalendarDb.cmake
# A fresh database with the calendar 2009-06-01 .. 2009-06-10, weekends resting.
file(REMOVE ${DB})
foreach(command "init" "generate;2009-06-01;2009-06-11")
    execute_process(COMMAND ${ZEVWORKCAL} --db ${DB} ${command} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "zevworkcal ${command} failed (${rc})")
    endif()
endforeach()
