# Writes a C++ source that holds the resource script's PNG resources, for the
# Linux library, which has no resource section:
#   cmake -DSCRIPT=ais.rc -DIDS=resource_ids.h -DOUTPUT=embedded_png.cpp -P embed_images.cmake
get_filename_component(folder "${SCRIPT}" DIRECTORY)
file(STRINGS "${SCRIPT}" resources REGEX "^[A-Z_0-9]+ PNG \"[^\"]+\"$")
file(STRINGS "${IDS}" defines REGEX "^#define [A-Z_0-9]+ [0-9]+$")
set(arrays "")
set(entries "")
foreach(resource IN LISTS resources)
  string(REGEX REPLACE "^([A-Z_0-9]+) PNG \"([^\"]+)\"$" "\\1;\\2" parts "${resource}")
  list(GET parts 0 name)
  list(GET parts 1 file)
  set(id "")
  foreach(define IN LISTS defines)
    if(define MATCHES "^#define ${name} ([0-9]+)$")
      set(id "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  if(id STREQUAL "")
    message(FATAL_ERROR "${name} has no number in ${IDS}")
  endif()
  file(READ "${folder}/${file}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  string(APPEND arrays "const unsigned char k${id}[] = {${hex}};  // ${name}, ${file}\n")
  string(APPEND entries "    {${id}, k${id}, sizeof k${id}},\n")
endforeach()
get_filename_component(script_name "${SCRIPT}" NAME)
file(WRITE "${OUTPUT}.tmp" "// Generated from ${script_name}.\n#include \"platform/posix/embedded_png.h\"\n\n"
     "namespace vf::platform {\nnamespace {\n\n${arrays}\n"
     "struct Resource {\n  int id;\n  const unsigned char* data;\n  size_t size;\n};\n"
     "const Resource kResources[] = {\n${entries}};\n\n}  // namespace\n\n"
     "EmbeddedPng EmbeddedPngResource(int id) {\n"
     "  for (const Resource& resource : kResources) {\n"
     "    if (resource.id == id) return {resource.data, resource.size};\n  }\n"
     "  return {nullptr, 0};\n}\n\n}  // namespace vf::platform\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
