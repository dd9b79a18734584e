# cmake -DREADELF=<readelf> -DPROGRAMS=<folder> -DNEWEST=<NAME_x.y,...> -P CheckSymbolVersions.cmake
#
# Fails when a program in <folder> needs a symbol version newer than the
# newest one allowed for its name (GLIBC, GLIBCXX, CXXABI, GCC), or one of a
# name not listed: the package's Depends would promise too little.

string(REPLACE "," ";" newest "${NEWEST}")
file(GLOB programs "${PROGRAMS}/*")
if(NOT programs)
    message(FATAL_ERROR "no programs in ${PROGRAMS}")
endif()
set(problems "")
foreach(program IN LISTS programs)
    execute_process(COMMAND ${READELF} --version-info --wide ${program}
                    OUTPUT_VARIABLE info RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${READELF} cannot read ${program}")
    endif()
    # The versions needed, after "Version needs section"; those the program
    # defines itself (none here) would come before it.
    string(REGEX REPLACE ".*Version needs section" "" needs "${info}")
    string(REGEX MATCHALL "Name: [A-Z]+_[0-9.]+" needed "${needs}")
    if(NOT needed)
        message(FATAL_ERROR "${program} needs no symbol version, which cannot be right")
    endif()
    foreach(version IN LISTS needed)
        string(REGEX MATCH "([A-Z]+)_([0-9.]+)" version "${version}")
        set(name ${CMAKE_MATCH_1})
        set(number ${CMAKE_MATCH_2})
        set(allowed "")
        foreach(limit IN LISTS newest)
            if(limit MATCHES "^${name}_([0-9.]+)$")
                set(allowed ${CMAKE_MATCH_1})
            endif()
        endforeach()
        if(NOT allowed OR number VERSION_GREATER allowed)
            list(APPEND problems "${program} needs ${name}_${number}")
        endif()
    endforeach()
endforeach()
if(problems)
    list(REMOVE_DUPLICATES problems)
    list(JOIN problems "\n" problems)
    message(FATAL_ERROR "newer than the Depends states (cmake/Packaging.cmake):\n${problems}")
endif()
list(LENGTH programs count)
message(STATUS "${count} programs need no symbol version newer than ${NEWEST}")
