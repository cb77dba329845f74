find_package(GTest REQUIRED)
include(GoogleTest)

# zarn_add_test(NAME name SOURCES ... [DEFINITIONS file] [REAL_DEBUGLIB] [LINK ...] [LABEL label])
# A test executable: its sources, one definition file of build-time constants (the deliverables'
# values unless DEFINITIONS names another), the recording debug library (or the real one), the
# firmware archive and the simulated machine. Images it loads resolve the platform seam from it.
function(zarn_add_test)
  cmake_parse_arguments(ARG "REAL_DEBUGLIB" "NAME;DEFINITIONS;LABEL" "SOURCES;LINK" ${ARGN})
  if(NOT ARG_DEFINITIONS)
    set(ARG_DEFINITIONS ${PROJECT_SOURCE_DIR}/tests/support/TestDefinitions.cpp)
  endif()
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES} ${ARG_DEFINITIONS})
  target_compile_definitions(${ARG_NAME} PRIVATE ZARN_SOURCE_PATH="tests/${ARG_NAME}"
                             ZARN_IMAGE_DIR="${ZARN_IMAGE_DIR}")
  target_include_directories(${ARG_NAME} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/Include)
  target_compile_options(${ARG_NAME} PRIVATE -Wall -Wextra -Werror -Wno-missing-field-initializers)
  if(ARG_REAL_DEBUGLIB)
    target_link_libraries(${ARG_NAME} PRIVATE zarn_fw_debuglib)
  else()
    target_link_libraries(${ARG_NAME} PRIVATE zarn_test_recording_debuglib)
  endif()
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LINK} zarn_fw zarn_host_seam zarn_host GTest::gtest GTest::gtest_main)
  set_target_properties(${ARG_NAME} PROPERTIES ENABLE_EXPORTS ON)
  gtest_discover_tests(${ARG_NAME} PROPERTIES LABELS ${ARG_LABEL} DISCOVERY_TIMEOUT 60)
endfunction()
