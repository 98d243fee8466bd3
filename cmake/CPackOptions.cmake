# Read by cpack once per generator. The setup program is named ...-setup.exe and leaves out the zip's lang.ini
# (the default_table component, the second project entry): it writes lang.ini from the language chosen.
# The MSI package and the winget manifests are made beside the setup program, from its staged files.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
    list(SUBLIST CPACK_INSTALL_CMAKE_PROJECTS 0 4 CPACK_INSTALL_CMAKE_PROJECTS)
    set(CPACK_POST_BUILD_SCRIPTS ${CPACK_OSTREL_SOURCE_DIR}/cmake/DeployPackages.cmake)
endif()

# Signed releases: with a code-signing certificate given, every program packed and the setup program (and the
# uninstaller it writes) are signed; without one the packages are unsigned, and cpack says so.
if(DEFINED ENV{OSTREL_SIGN_PFX} AND DEFINED ENV{OSTREL_SIGN_PASS_FILE})
    if(NOT EXISTS "$ENV{OSTREL_SIGN_PFX}" OR NOT EXISTS "$ENV{OSTREL_SIGN_PASS_FILE}")
        message(FATAL_ERROR "OSTREL_SIGN_PFX or OSTREL_SIGN_PASS_FILE names no file")
    endif()
    set(CPACK_PRE_BUILD_SCRIPTS ${CPACK_OSTREL_SOURCE_DIR}/cmake/SignStaged.cmake)
    if(CPACK_GENERATOR STREQUAL "NSIS")
        set(CPACK_NSIS_OSTREL_SIGNING "!finalize 'bash \"${CPACK_OSTREL_SIGN_SCRIPT}\" \"%1\"'
!uninstfinalize 'bash \"${CPACK_OSTREL_SIGN_SCRIPT}\" \"%1\"'")
    endif()
else()
    message(STATUS "${CPACK_GENERATOR}: packing unsigned (set OSTREL_SIGN_PFX and OSTREL_SIGN_PASS_FILE to sign)")
endif()
