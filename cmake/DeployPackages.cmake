# Run by cpack after it has built the setup program (CPACK_POST_BUILD_SCRIPTS): the MSI package beside it, from the
# same staged files and signed like it when a certificate is given, and the winget manifests of both in winget/.
set(ostrel_msi "${CPACK_PACKAGE_DIRECTORY}/ostrel-update-${CPACK_PACKAGE_VERSION}-${CPACK_NSIS_OSTREL_ARCH}.msi")
execute_process(
    COMMAND "${CPACK_OSTREL_PYTHON}" "${CPACK_OSTREL_SOURCE_DIR}/cmake/make-msi.py" "${CPACK_TEMPORARY_DIRECTORY}"
            "${ostrel_msi}" "${CPACK_PACKAGE_VERSION}" "${CPACK_NSIS_OSTREL_ARCH}" "${CPACK_NSIS_OSTREL_PRODUCT}"
            "${CPACK_NSIS_OSTREL_EXE}" "${CPACK_NSIS_OSTREL_ICON}" "${CPACK_TOPLEVEL_DIRECTORY}/msi"
    RESULT_VARIABLE built)
if(NOT built EQUAL 0)
    message(FATAL_ERROR "building ${ostrel_msi} failed")
endif()
if(DEFINED ENV{OSTREL_SIGN_PFX} AND DEFINED ENV{OSTREL_SIGN_PASS_FILE})
    execute_process(COMMAND bash "${CPACK_OSTREL_SIGN_SCRIPT}" "${ostrel_msi}" RESULT_VARIABLE signed)
    if(NOT signed EQUAL 0)
        message(FATAL_ERROR "signing ${ostrel_msi} failed")
    endif()
endif()
message(STATUS "- package: ${ostrel_msi} generated.")

list(FILTER CPACK_PACKAGE_FILES INCLUDE REGEX "\\.exe$")
execute_process(
    COMMAND "${CPACK_OSTREL_PYTHON}" "${CPACK_OSTREL_SOURCE_DIR}/cmake/make-winget.py" "${CPACK_PACKAGE_FILES}"
            "${ostrel_msi}" "${CPACK_PACKAGE_VERSION}" "${CPACK_NSIS_OSTREL_ARCH}"
            "${CPACK_OSTREL_RELEASE_URL}/${CPACK_PACKAGE_VERSION}" "${CPACK_PACKAGE_DIRECTORY}/winget"
    RESULT_VARIABLE written)
if(NOT written EQUAL 0)
    message(FATAL_ERROR "writing the winget manifests failed")
endif()
message(STATUS "- winget manifests: ${CPACK_PACKAGE_DIRECTORY}/winget")
