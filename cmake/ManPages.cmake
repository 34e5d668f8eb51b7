# A man page for each installed program, made at build time by help2man from
# the program's own --help and --version, so that the page and the program
# cannot drift apart; packaging/man/PROGRAM.h2m adds what --help has no room
# for (description, environment, files, exit status). Without help2man
# (scripts/install-deps.sh --package) the programs build as before, and
# CheckPackageContents.cmake refuses to make a package without the pages.

find_program(CALMORA_HELP2MAN help2man)
find_program(CALMORA_GZIP gzip REQUIRED)

# calmora_man_page(PROGRAM): PROGRAM.1.gz in the build tree, installed into
# section 1. Compressed without a name or time stamp, for a reproducible
# package.
function(calmora_man_page program)
  if(NOT CALMORA_HELP2MAN)
    return()
  endif()
  set(include ${PROJECT_SOURCE_DIR}/packaging/man/${program}.h2m)
  set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${CALMORA_HELP2MAN} --no-info --section=1 --include=${include}
            --output=${page} $<TARGET_FILE:${program}>
    COMMAND ${CALMORA_GZIP} -9nf ${page}
    DEPENDS ${program} ${include}
    COMMENT "Man page of ${program}"
    VERBATIM)
  add_custom_target(${program}-man ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

foreach(program calmora-import calmora-sql calmora-fixture)
  calmora_man_page(${program})
endforeach()
