# Delay-import libraries for MinGW: keldrast_delay_import_libraries(<out-var> <dll>...) makes,
# for each DLL, an import library whose functions load the DLL at their first call (through
# the runtime's __delayLoadHelper2) and puts their paths in <out-var>. The export list is
# taken from the toolchain's own import library, so every function it offers is there.
function(keldrast_delay_import_libraries out)
    set(dir ${CMAKE_BINARY_DIR}/delay-import)
    file(MAKE_DIRECTORY ${dir})
    set(libs)
    foreach(dll IN LISTS ARGN)
        set(lib ${dir}/libdelay_${dll}.a)
        find_library(import_${dll} NAMES lib${dll}.a ${dll} REQUIRED)
        if(NOT EXISTS ${lib} OR ${import_${dll}} IS_NEWER_THAN ${lib})
            execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${import_${dll}}
                            OUTPUT_VARIABLE symbols ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
            string(REGEX MATCHALL "I __imp_[A-Za-z0-9_@]+" imports "${symbols}")
            list(TRANSFORM imports REPLACE "^I __imp_" "")
            list(REMOVE_DUPLICATES imports)
            list(JOIN imports "\n" exports)
            file(WRITE ${dir}/${dll}.def "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
            execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${dir}/${dll}.def
                                    --output-delaylib ${lib} COMMAND_ERROR_IS_FATAL ANY)
        endif()
        list(APPEND libs ${lib})
    endforeach()
    set(${out} ${libs} PARENT_SCOPE)
endfunction()
