# Read by cpack once per generator. The setup program is named ...-setup.exe and leaves out the zip's lang.ini
# (the default_table component, the second project entry): it writes lang.ini from the language chosen.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
    list(SUBLIST CPACK_INSTALL_CMAKE_PROJECTS 0 4 CPACK_INSTALL_CMAKE_PROJECTS)
endif()
