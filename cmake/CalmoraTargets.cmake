# How targets of ours are made: the warnings every one of them compiles
# with, and libraries that export only their own headers, so that an
# include reaching up past what a target links fails to compile.
#
# calmora_library(NAME <target> FOLDER <include prefix>
#                 SOURCES <file>... HEADERS <file>...
#                 [LINKS <target>...] [PRIVATE_LINKS <target>...])
#   A static library. Each header named in HEADERS (a path relative to the
#   calling CMakeLists) is linked symbolically to
#   ${CMAKE_BINARY_DIR}/include/<target>/<FOLDER>/<header>, and that
#   directory, nothing of src/, is the library's PUBLIC include directory:
#   with FOLDER "upgrade" the headers are included as "upgrade/X.h", with
#   FOLDER "tools/fixture" as "tools/fixture/X.h". A source therefore
#   reaches its own headers and those of the libraries it links, no more.
#   LINKS are the layers below that the headers expose (PUBLIC); the
#   layers and packages only the sources use go in PRIVATE_LINKS.
#   Headers not named in HEADERS are unreachable from outside the folder.
#   Returns nothing; the target may be given more properties afterwards
#   (AUTOMOC, resources, definitions).
#   Example, for a front end:
#     calmora_library(NAME calmora_terminal FOLDER terminal
#       SOURCES TerminalFrontEnd.cpp HEADERS TerminalFrontEnd.h
#       LINKS calmora_driver)
#
# calmora_program(NAME <target> SOURCES <file>...
#                 [FOLDER <include prefix> HEADERS <file>...] [LINKS <target>...])
#   An executable: the same for its own headers (a PRIVATE include
#   directory), LINKS linked PRIVATE. Installing it stays with the caller.
#
# Warnings: every library and executable defined anywhere in the project
# links calmora_warnings, whether made by these functions or by plain
# add_library/add_executable; one sweep at the end of the top-level
# directory does it, so no list can forget. CALMORA_WERROR adds -Werror.

option(CALMORA_WERROR "Treat compiler warnings as errors" OFF)

add_library(calmora_warnings INTERFACE)
target_compile_options(calmora_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
  $<$<BOOL:${CALMORA_WERROR}>:-Werror>)

# Links the library's own headers under one fresh directory (stale links
# of removed headers would otherwise keep old includes compiling).
function(_calmora_export_headers target folder out_dir)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  file(REMOVE_RECURSE ${root})
  foreach(header IN LISTS ARGN)
    set(link ${root}/${folder}/${header})
    get_filename_component(link_dir ${link} DIRECTORY)
    file(MAKE_DIRECTORY ${link_dir})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${link} SYMBOLIC)
  endforeach()
  set(${out_dir} ${root} PARENT_SCOPE)
endfunction()

function(calmora_library)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME;FOLDER"
                        "SOURCES;HEADERS;LINKS;PRIVATE_LINKS")
  if(NOT arg_NAME OR NOT arg_FOLDER OR NOT arg_SOURCES)
    message(FATAL_ERROR "calmora_library needs NAME, FOLDER and SOURCES")
  endif()
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "calmora_library(${arg_NAME}): unknown ${arg_UNPARSED_ARGUMENTS}")
  endif()
  add_library(${arg_NAME} STATIC ${arg_SOURCES} ${arg_HEADERS})
  _calmora_export_headers(${arg_NAME} ${arg_FOLDER} include_dir ${arg_HEADERS})
  target_include_directories(${arg_NAME} PUBLIC ${include_dir})
  target_link_libraries(${arg_NAME} PUBLIC ${arg_LINKS} PRIVATE ${arg_PRIVATE_LINKS})
endfunction()

function(calmora_program)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME;FOLDER" "SOURCES;HEADERS;LINKS")
  if(NOT arg_NAME OR NOT arg_SOURCES OR (arg_HEADERS AND NOT arg_FOLDER))
    message(FATAL_ERROR "calmora_program needs NAME and SOURCES, and FOLDER with HEADERS")
  endif()
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "calmora_program(${arg_NAME}): unknown ${arg_UNPARSED_ARGUMENTS}")
  endif()
  add_executable(${arg_NAME} ${arg_SOURCES} ${arg_HEADERS})
  if(arg_HEADERS)
    _calmora_export_headers(${arg_NAME} ${arg_FOLDER} include_dir ${arg_HEADERS})
    target_include_directories(${arg_NAME} PRIVATE ${include_dir})
  endif()
  target_link_libraries(${arg_NAME} PRIVATE ${arg_LINKS})
endfunction()

function(_calmora_link_warnings_under directory)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      target_link_libraries(${target} PRIVATE calmora_warnings)
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    _calmora_link_warnings_under(${subdirectory})
  endforeach()
endfunction()

function(_calmora_link_warnings_everywhere)
  _calmora_link_warnings_under(${PROJECT_SOURCE_DIR})
endfunction()

# Deferred to the end of the top-level list, after every add_subdirectory,
# and run even when that list returns early (the fuzz build).
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL _calmora_link_warnings_everywhere)
