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

# What a Debian user expects beside the programs: a man page for each (made
# from its --help), the copyright in the machine-readable format and the
# changelog, compressed as the policy asks.
include(${CMAKE_CURRENT_LIST_DIR}/ManPages.cmake)
set(CALMORA_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/calmora-import)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CALMORA_PACKAGE_DOCDIR})

# The changelog's latest entry must name the version being packaged: a
# version raised in project() without a changelog entry stops here.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog CALMORA_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT CALMORA_CHANGELOG_TOP MATCHES "^calmora-import \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog: the latest entry is not version ${PROJECT_VERSION}")
endif()
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
  COMMAND ${CALMORA_GZIP} -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${PROJECT_BINARY_DIR}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(calmora-changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${CALMORA_PACKAGE_DOCDIR})

set(CPACK_PACKAGE_NAME "calmora-import")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Brindlecote")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "One-time import of a Calmora V3.1 practice into Calmora 2014")
set(CPACK_PACKAGE_CONTACT "Calmora support <support@brindlecote.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
# Folders as the policy wants them, whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Refuses to make a package in which an installed program has no man page.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CheckPackageContents.cmake)

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
