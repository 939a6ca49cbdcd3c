# add_version_info(TARGET FILE_TYPE DESCRIPTION): a version resource in the
# target's module (file and product version PROJECT_VERSION). FILE_TYPE is
# VFT_DLL or VFT_APP.
function(add_version_info target file_type description)
  string(REPLACE "." "," VERSION_COMMAS "${PROJECT_VERSION}")
  set(FILE_TYPE ${file_type})
  set(FILE_DESCRIPTION "${description}")
  set(INTERNAL_NAME ${target})
  if(file_type STREQUAL "VFT_DLL")
    set(ORIGINAL_FILENAME "${target}.dll")
  else()
    set(ORIGINAL_FILENAME "${target}.exe")
  endif()
  set(script ${CMAKE_BINARY_DIR}/version_info/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version_info.rc.in ${script} @ONLY)
  target_sources(${target} PRIVATE ${script})
endfunction()
