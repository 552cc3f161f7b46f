# Release builds that anyone can check against the source: the folder the
# tree lies in and the time of the build leave no trace in the programs.
add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>)
cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${PROJECT_BINARY_DIR}" NORMALIZE build_inside)
if(NOT build_inside)
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}=build>)
endif()
if(WIN32)
  # No link time in the PE header; strip later writes SOURCE_DATE_EPOCH there.
  add_link_options(-Wl,--no-insert-timestamp)
endif()
