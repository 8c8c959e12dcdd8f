# A module's include view at work: a header of a module it may use compiles, a header of a module
# it may not use is not found. Run with -DCXX=compiler -DVIEW=view folder -DINCLUDE=public
# headers folder -DALLOWED=header -DFORBIDDEN=header -DWORK=scratch folder.
foreach(var CXX VIEW INCLUDE ALLOWED FORBIDDEN WORK)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "include_view_test: ${var} is not set")
    endif()
endforeach()
file(MAKE_DIRECTORY "${WORK}")

function(compile header out_result out_output)
    string(MAKE_C_IDENTIFIER "${header}" stem)
    set(source "${WORK}/${stem}.cpp")
    file(WRITE "${source}" "#include \"${header}\"\n")
    execute_process(COMMAND "${CXX}" -std=c++20 -fsyntax-only -DOSTREL_BUILDING_SDK=1
                            "-I${VIEW}" "-I${INCLUDE}" "${source}"
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    set(${out_result} "${result}" PARENT_SCOPE)
    set(${out_output} "${output}" PARENT_SCOPE)
endfunction()

compile("${ALLOWED}" result output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ALLOWED} should compile through ${VIEW}:\n${output}")
endif()
compile("${FORBIDDEN}" result output)
if(result EQUAL 0)
    message(FATAL_ERROR "${FORBIDDEN} compiled through ${VIEW}")
endif()
if(NOT output MATCHES "${FORBIDDEN}: No such file")
    message(FATAL_ERROR "${FORBIDDEN} failed through ${VIEW} for another reason:\n${output}")
endif()
