# Run by cpack on the staged package, before it is made: every program in
# bin has its man page, and the copyright and changelog are there. Fails
# with what is missing; a build without help2man ends here, not with a
# package lintian would refuse.
set(stage ${CPACK_TEMPORARY_INSTALL_DIRECTORY})
set(doc ${stage}/usr/share/doc/${CPACK_PACKAGE_NAME})
set(missing "")
file(GLOB programs RELATIVE ${stage}/usr/bin ${stage}/usr/bin/*)
foreach(program IN LISTS programs)
  if(NOT EXISTS ${stage}/usr/share/man/man1/${program}.1.gz)
    list(APPEND missing "man page of ${program}")
  endif()
endforeach()
foreach(file copyright changelog.gz)
  if(NOT EXISTS ${doc}/${file})
    list(APPEND missing "${doc}/${file}")
  endif()
endforeach()
if(NOT programs)
  list(APPEND missing "the programs in ${stage}/usr/bin")
endif()
if(missing)
  list(JOIN missing ", " missing)
  message(FATAL_ERROR "The package lacks: ${missing}. The man pages need help2man "
                      "(scripts/install-deps.sh --package), then a new cmake run.")
endif()
