# The project version, for the programs' version resources: a header made
# from it, and the function that gives a program its version resource.
configure_file(${PROJECT_SOURCE_DIR}/resources/version.h.in
  ${PROJECT_BINARY_DIR}/generated/tolvane_version.h @ONLY)

# tolvane_version_resource(TARGET RC_FILE): RC_FILE includes version_info.rc2,
# which reads the header. windres reports no dependencies, so the resource
# is named as depending on both, and a new version rebuilds it.
function(tolvane_version_resource target rc)
  target_include_directories(${target} PRIVATE ${PROJECT_BINARY_DIR}/generated ${PROJECT_SOURCE_DIR}/resources)
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS
    ${PROJECT_BINARY_DIR}/generated/tolvane_version.h ${PROJECT_SOURCE_DIR}/resources/version_info.rc2)
endfunction()
