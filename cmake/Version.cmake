# The programs' version comes from project(... VERSION) and nowhere else:
# a generated header, reached by linking calmora_version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/ProgramVersion.h.in
               ${PROJECT_BINARY_DIR}/generated/ProgramVersion.h @ONLY)
add_library(calmora_version INTERFACE)
target_include_directories(calmora_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
