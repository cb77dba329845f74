# Helpers for firmware sources, shared by the host and IA32 builds.

# Flags of every firmware file on both targets: freestanding C++, no exceptions, no RTTI, warnings are errors.
set(ZARN_FIRMWARE_OPTIONS -ffreestanding -fno-exceptions -fno-rtti -fno-threadsafe-statics
    -Wall -Wextra -Werror -Wno-missing-field-initializers)

# zarn_firmware_sources(TARGET t SOURCES a.cpp ...)
# Adds firmware sources to t; each is compiled with ZARN_SOURCE_PATH, its path from the repository
# root without extension, which the checking forms report.
function(zarn_firmware_sources)
  cmake_parse_arguments(ARG "" "TARGET" "SOURCES" ${ARGN})
  foreach(src IN LISTS ARG_SOURCES)
    get_filename_component(abs ${src} ABSOLUTE)
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${abs})
    string(REGEX REPLACE "\\.[^./]*$" "" path ${rel})
    target_sources(${ARG_TARGET} PRIVATE ${abs})
    set_property(SOURCE ${abs} TARGET_DIRECTORY ${ARG_TARGET}
                 APPEND PROPERTY COMPILE_DEFINITIONS "ZARN_SOURCE_PATH=\"${path}\"")
  endforeach()
endfunction()

function(zarn_firmware_target target)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/Include ${PROJECT_SOURCE_DIR})
  target_compile_options(${target} PRIVATE ${ZARN_FIRMWARE_OPTIONS})
endfunction()
