# plb_add_layer(NAME [DEPS lib...])
# One static library per layer, named plb_NAME, from every .cpp in src/NAME (and its sub-folders).
function(plb_add_layer name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_library(plb_${name} STATIC ${sources})
  target_include_directories(plb_${name} PUBLIC "${PLB_SOURCE_DIR}/src")
  target_link_libraries(plb_${name} PUBLIC ${ARG_DEPS})
endfunction()

# plb_add_tests(LAYER [LIBS lib...] [LABELS label...])
# One GoogleTest program per layer from every *_test.cpp in tests/LAYER; each test runs in its
# own process with its own HOME, XDG_* and TMPDIR (see tests/support/test_main.cpp).
function(plb_add_tests layer)
  cmake_parse_arguments(ARG "" "" "LIBS;LABELS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${layer}/*_test.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(plb_${layer}_tests ${sources})
  target_link_libraries(plb_${layer}_tests PRIVATE ${ARG_LIBS} plb_test_support)
  gtest_discover_tests(plb_${layer}_tests
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${layer};${ARG_LABELS}" TIMEOUT 300)
endfunction()
