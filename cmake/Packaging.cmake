# Desktop integration and the Debian package. The programs install
# themselves (bin); this adds the menu entry, its icons and the package.

install(FILES ${PROJECT_SOURCE_DIR}/resources/calmora-import.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/calmora-import-16.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/16x16/apps
        RENAME calmora-import.png)
install(FILES ${PROJECT_SOURCE_DIR}/resources/calmora-import-48.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps
        RENAME calmora-import.png)

set(CPACK_PACKAGE_NAME "calmora-import")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Brindlecote")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "One-time import of a Calmora V3.1 practice into Calmora 2014")
set(CPACK_PACKAGE_CONTACT "Calmora support <support@brindlecote.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Calmora support <support@brindlecote.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION "misc")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Moves a practice's database and documents from an installed Calmora V3.1\n\
to an installed Calmora 2014 and upgrades the copied database. Run it once\n\
only. Includes calmora-sql for support staff and calmora-fixture, which\n\
writes sample machines for trying the import.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The window's fallback face where Microsoft Sans Serif is missing.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")

include(CPack)
