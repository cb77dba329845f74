# zarn_ia32_image(name definition module_objects)
# Links one deliverable as an execute-in-place image at its flash address (Platform/Ia32/ImageMap.cmake):
# <build>/images/<name>.elf, then checks it (Platform/Ia32/CheckImage.cmake) and writes the flat
# <name>.bin. A failed check fails the build and leaves no .bin.
include(${PROJECT_SOURCE_DIR}/Platform/Ia32/ImageMap.cmake)

function(zarn_ia32_image name definition module_objects)
  if(NOT DEFINED ZARN_IA32_IMAGE_BASE_${name})
    message(FATAL_ERROR "No flash address for image ${name} in Platform/Ia32/ImageMap.cmake")
  endif()
  set(ZARN_IMAGE_NAME ${name})
  set(ZARN_IMAGE_BASE ${ZARN_IA32_IMAGE_BASE_${name}})
  set(ZARN_IMAGE_SIZE ${ZARN_IA32_IMAGE_SIZE_${name}})
  set(script ${CMAKE_BINARY_DIR}/ia32/${name}.ld)
  configure_file(${PROJECT_SOURCE_DIR}/Platform/Ia32/Image.ld.in ${script} @ONLY)

  add_executable(${name})
  zarn_firmware_target(${name})
  zarn_firmware_sources(TARGET ${name} SOURCES ${definition})
  # libgcc last: the 64-bit division helpers of the 32-bit processor.
  target_link_libraries(${name} PRIVATE zarn_fw_debuglib ${module_objects} zarn_ia32_platform zarn_fw gcc)
  target_link_options(${name} PRIVATE
    -Wl,-T,${script} -Wl,--gc-sections -Wl,--build-id=none -Wl,-z,noexecstack -Wl,--orphan-handling=error
    -Wl,-Map,${ZARN_IMAGE_DIR}/${name}.map)
  set_target_properties(${name} PROPERTIES SUFFIX ".elf" RUNTIME_OUTPUT_DIRECTORY ${ZARN_IMAGE_DIR}
                        LINK_DEPENDS ${script})

  set(bin ${ZARN_IMAGE_DIR}/${name}.bin)
  add_custom_command(OUTPUT ${bin}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${bin}
    COMMAND ${CMAKE_COMMAND} -DIMAGE=$<TARGET_FILE:${name}> -DREADELF=${CMAKE_READELF} -DNM=${CMAKE_NM}
            -P ${PROJECT_SOURCE_DIR}/Platform/Ia32/CheckImage.cmake
    COMMAND ${CMAKE_OBJCOPY} -O binary $<TARGET_FILE:${name}> ${bin}
    DEPENDS ${name} ${PROJECT_SOURCE_DIR}/Platform/Ia32/CheckImage.cmake
    COMMENT "Checking ${name}.elf and writing ${name}.bin"
    VERBATIM)
  add_custom_target(${name}_image ALL DEPENDS ${bin})
endfunction()
