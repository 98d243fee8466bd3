# Run by cpack before it packs (CPACK_PRE_BUILD_SCRIPTS): signs every program staged for the package.
file(GLOB_RECURSE ostrel_staged_programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.exe")
if(ostrel_staged_programs)
    execute_process(COMMAND bash "${CPACK_OSTREL_SIGN_SCRIPT}" ${ostrel_staged_programs} RESULT_VARIABLE signed)
    if(NOT signed EQUAL 0)
        message(FATAL_ERROR "signing ${ostrel_staged_programs} failed")
    endif()
endif()
