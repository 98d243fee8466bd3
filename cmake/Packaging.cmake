# The release packages, built by CPack (`cpack` or the `package` target): ostrel-update-<version>-win32.zip, the
# setup program ostrel-update-<version>-win32-setup.exe and beside it the MSI package ostrel-update-<version>-win32.msi
# and the winget manifests in winget/ (-win64 from the 64-bit build). All carry the tool, the console flasher when the
# build has it, every text table, the Group Policy templates and the user guide.
if(NOT WIN32)
    return()
endif()

install(TARGETS ostrel_update RUNTIME DESTINATION . COMPONENT tool)
if(TARGET ostrel_flash)
    install(TARGETS ostrel_flash RUNTIME DESTINATION . COMPONENT tool)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/docs/user-guide.txt DESTINATION . COMPONENT tool)
# The Group Policy templates, for administrators to copy into the central store.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/policies/ DESTINATION policies COMPONENT tool)
# lang/ holds every table, English included, so that copying one over lang.ini can always be undone.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/res/lang/ DESTINATION lang COMPONENT tool FILES_MATCHING PATTERN "*.ini")
install(FILES ${PROJECT_SOURCE_DIR}/res/lang.ini DESTINATION lang RENAME en.ini COMPONENT tool)
# The zip's lang.ini; the setup program writes lang.ini from the table of the language chosen instead.
install(FILES ${PROJECT_SOURCE_DIR}/res/lang.ini DESTINATION . COMPONENT default_table)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(ostrel_package_arch win64)
else()
    set(ostrel_package_arch win32)
endif()

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME ostrel-update)
set(CPACK_PACKAGE_VENDOR Corvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(ostrel_package_name ostrel-update-${PROJECT_VERSION}-${ostrel_package_arch})
set(CPACK_PACKAGE_FILE_NAME ${ostrel_package_name})
# Only our components: the stand-in driver library and the device emulator are never shipped, whatever install
# rules other folders may add. CPackOptions.cmake leaves default_table out of the setup program.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};tool;/"
                                 "${CMAKE_BINARY_DIR};${PROJECT_NAME};default_table;/")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CPackOptions.cmake)
set(CPACK_STRIP_FILES ON)

# The setup program: our own template (cmake/nsis/NSIS.template.in) and what it needs.
list(PREPEND CMAKE_MODULE_PATH ${PROJECT_SOURCE_DIR}/cmake/nsis)
set(CPACK_NSIS_OSTREL_ARCH ${ostrel_package_arch})
set(CPACK_NSIS_OSTREL_PRODUCT "${OSTREL_EXE_NAME}")
set(CPACK_NSIS_OSTREL_EXE "${OSTREL_EXE_NAME}.exe")
set(CPACK_NSIS_OSTREL_FLASH_EXE ostrel-flash.exe)
# Beside the programs, as the image gate looks for it (image/ImageGate.cpp).
set(CPACK_NSIS_OSTREL_TRUSTED_FOLDER trusted)
set(CPACK_NSIS_OSTREL_ICON ${PROJECT_SOURCE_DIR}/res/ostrel.ico)
set(CPACK_NSIS_OSTREL_TEXTS ${PROJECT_SOURCE_DIR}/cmake/nsis/installer-texts.nsh)
# Signing, when cpack is given a certificate (CPackOptions.cmake).
set(CPACK_OSTREL_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_OSTREL_SIGN_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/sign.sh)
# The MSI package and the winget manifests (DeployPackages.cmake); the manifests give the installers' addresses as
# <OSTREL_RELEASE_URL>/<version>/<file>.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(CPACK_OSTREL_PYTHON ${Python3_EXECUTABLE})
set(OSTREL_RELEASE_URL "https://www.corvane.com/downloads/ostrel-update"
    CACHE STRING "The vendor's download folder of the releases, for the winget manifests")
set(CPACK_OSTREL_RELEASE_URL ${OSTREL_RELEASE_URL})
# CPack overwrites CPACK_PACKAGE_FILE_NAME with the source package's name as it is included.
include(CPack)

# Builds the zip, unpacks it into a temporary folder, checks its contents and starts the unpacked tool under Wine.
if(TARGET ostrel_flash)
    set(ostrel_flash_file ostrel-flash.exe)
else()
    set(ostrel_flash_file -)
endif()
add_test(NAME release_package
         COMMAND bash ${PROJECT_SOURCE_DIR}/cmake/check-package.sh ${CMAKE_CPACK_COMMAND} ${CMAKE_BINARY_DIR}
                 ${ostrel_package_name} "${OSTREL_EXE_NAME}.exe" "${ostrel_flash_file}"
                 ${CMAKE_CROSSCOMPILING_EMULATOR})
set_tests_properties(release_package PROPERTIES TIMEOUT 180)

# Builds the setup program and runs it under Wine in a fresh prefix: silent installs in three languages, the
# installed tool in Korean, a refused install while it runs, and uninstalls that leave nothing of ours.
add_test(NAME setup_program
         COMMAND bash ${PROJECT_SOURCE_DIR}/cmake/check-installer.sh ${CMAKE_CPACK_COMMAND} ${CMAKE_BINARY_DIR}
                 ${ostrel_package_name}-setup ${ostrel_package_arch} "${OSTREL_EXE_NAME}.exe" "${ostrel_flash_file}"
                 ${PROJECT_SOURCE_DIR} $<TARGET_FILE:ostrel_drive> $<TARGET_FILE:tarselusb>)
# Signs the packages with a throwaway certificate and verifies the signatures.
add_test(NAME signed_packages COMMAND bash ${PROJECT_SOURCE_DIR}/cmake/check-signing.sh ${CMAKE_CPACK_COMMAND}
                                      ${CMAKE_BINARY_DIR} ${ostrel_package_name})
# What IT deploys: the winget manifests against the installers, the setup program for the current user and for all
# users, and the MSI package, each installed over a lower version and removed again under Wine.
add_test(NAME deploy_packages
         COMMAND bash ${PROJECT_SOURCE_DIR}/cmake/check-deploy.sh ${CMAKE_CPACK_COMMAND} ${CMAKE_BINARY_DIR}
                 ${ostrel_package_name} ${ostrel_package_arch} ${PROJECT_VERSION} ${PROJECT_SOURCE_DIR})
set_tests_properties(deploy_packages PROPERTIES TIMEOUT 240)
# The tests stage the build's install rules through CPack in the same build folder.
set_tests_properties(release_package setup_program signed_packages deploy_packages PROPERTIES RESOURCE_LOCK cpack)
set_tests_properties(setup_program PROPERTIES TIMEOUT 180)
