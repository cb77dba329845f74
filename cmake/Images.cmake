# zarn_image(NAME n DEFINITION file MODULE_OBJECTS target)
# One deliverable: its image definition file, its module code, the debug library and the shared archive.
# Host: a shared object in <build>/images that exports only PeimEntryPoint.
# IA32: an execute-in-place image linked at a fixed flash address (see Platform/Ia32).
set(ZARN_IMAGE_DIR ${CMAKE_BINARY_DIR}/images)
if(ZARN_IA32)
  include(${CMAKE_CURRENT_LIST_DIR}/Ia32Image.cmake)
endif()

function(zarn_image)
  cmake_parse_arguments(ARG "" "NAME;DEFINITION;MODULE_OBJECTS" "" ${ARGN})
  if(ZARN_IA32)
    zarn_ia32_image(${ARG_NAME} ${ARG_DEFINITION} ${ARG_MODULE_OBJECTS})
    return()
  endif()
  add_library(${ARG_NAME} MODULE)
  zarn_firmware_target(${ARG_NAME})
  zarn_firmware_sources(TARGET ${ARG_NAME} SOURCES ${ARG_DEFINITION})
  target_link_libraries(${ARG_NAME} PRIVATE zarn_fw_debuglib ${ARG_MODULE_OBJECTS} zarn_fw)
  # The entry point lives in the shared archive; --undefined pulls it in, since nothing in the image calls it.
  target_link_options(${ARG_NAME} PRIVATE -Wl,--undefined=PeimEntryPoint
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/image-exports.map -Wl,-Bsymbolic)
  set_target_properties(${ARG_NAME} PROPERTIES PREFIX "" SUFFIX ".so"
                        LIBRARY_OUTPUT_DIRECTORY ${ZARN_IMAGE_DIR}
                        LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/image-exports.map)
endfunction()
