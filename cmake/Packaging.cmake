# The release package: a zip of the tool, its text table and the user guide, built by CPack (`cpack` or the
# `package` target) as ostrel-update-<version>-win32.zip, or -win64.zip from the 64-bit build.
if(NOT WIN32)
    return()
endif()

install(TARGETS ostrel_update RUNTIME DESTINATION . COMPONENT tool)
install(FILES ${PROJECT_SOURCE_DIR}/res/lang.ini ${PROJECT_SOURCE_DIR}/docs/user-guide.txt DESTINATION .
        COMPONENT tool)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(ostrel_package_arch win64)
else()
    set(ostrel_package_arch win32)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ostrel-update)
set(CPACK_PACKAGE_VENDOR Corvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(ostrel_package_name ostrel-update-${PROJECT_VERSION}-${ostrel_package_arch})
set(CPACK_PACKAGE_FILE_NAME ${ostrel_package_name})
# Only the tool component: the stand-in driver library and the device emulator are never shipped, whatever
# install rules other folders may add.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};tool;/")
set(CPACK_STRIP_FILES ON)
# CPack overwrites CPACK_PACKAGE_FILE_NAME with the source package's name as it is included.
include(CPack)

# Builds the zip, unpacks it into a temporary folder, checks its contents and starts the unpacked tool under Wine.
add_test(NAME release_package
         COMMAND bash ${PROJECT_SOURCE_DIR}/cmake/check-package.sh ${CMAKE_CPACK_COMMAND} ${CMAKE_BINARY_DIR}
                 ${ostrel_package_name} "${OSTREL_EXE_NAME}.exe" ${CMAKE_CROSSCOMPILING_EMULATOR})
set_tests_properties(release_package PROPERTIES TIMEOUT 180)
