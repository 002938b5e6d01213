# Fails unless the board library's dynamic symbol table defines exactly the eight board functions:
# anything more would be a private symbol that another board library cannot be expected to have.
#   cmake -DNM=<nm> -DLIB=<libzorix.so> -P check_exports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIB} OUTPUT_VARIABLE listing
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} could not list ${LIB}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(exported)
foreach(line IN LISTS lines)
    string(REGEX REPLACE "^.* ([^ ]+)$" "\\1" name "${line}")
    list(APPEND exported ${name})
endforeach()
set(expected InitMcuSystem3 BootFile wrOptionInt rdOptionInt rdOptionDbl rdScannerBuffer
             SendReqScannerBuffer CleanServiceUsers)
list(SORT exported)
list(SORT expected)
if(NOT exported STREQUAL expected)
    message(FATAL_ERROR "${LIB} defines [${exported}], expected exactly [${expected}]")
endif()
